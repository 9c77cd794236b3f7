#include "ControlStates.h"

#include "EndpointState.h"

namespace ControlStates {

Controls session(int endpointState)
{
    Controls controls;
    controls.close = true;
    if (endpointState > EndpointState::Closed) {
        controls.closeCaption = QStringLiteral("Close");
        controls.sendData = endpointState == EndpointState::Connected;
    } else {
        controls.closeCaption = QStringLiteral("Cancel");
    }
    return controls;
}

Controls idle()
{
    Controls controls;
    controls.listen = true;
    controls.connect = true;
    controls.address = true;
    controls.port = true;
    return controls;
}

bool entriesComplete(const QString &address, const QString &port)
{
    return !address.isEmpty() && !port.isEmpty();
}

bool startTls(int endpointState, EndpointState::Tls tls)
{
    return tls == EndpointState::Tls::Off &&
           (endpointState == EndpointState::Listening || endpointState == EndpointState::Connected);
}

QString portToolTip(int endpointState, int localPort)
{
    if (endpointState != EndpointState::Listening)
        return {};
    return QStringLiteral("Listening on port %1").arg(localPort);
}

} // namespace ControlStates
