#include "ControlStates.h"
#include "EndpointState.h"

#include <QTest>

Q_DECLARE_METATYPE(EndpointState::Tls)

// Which controls a session leaves usable, for every endpoint state.
class tst_ControlStates : public QObject
{
    Q_OBJECT

private slots:
    void session_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("sendData");
        QTest::newRow("closed") << 0 << "Cancel" << false;
        for (int state = 1; state <= 9; ++state) {
            QTest::addRow("state %d", state)
                << state << "Close" << (state == EndpointState::Connected);
        }
    }
    void session()
    {
        QFETCH(int, state);
        QFETCH(QString, caption);
        QFETCH(bool, sendData);
        const ControlStates::Controls controls = ControlStates::session(state);
        QCOMPARE(controls.closeCaption, caption);
        QCOMPARE(controls.sendData, sendData);
        QVERIFY(controls.close);
        QVERIFY(!controls.listen && !controls.connect && !controls.address && !controls.port);
    }

    void idleKeepsCaption()
    {
        const ControlStates::Controls controls = ControlStates::idle();
        QVERIFY(controls.closeCaption.isEmpty());
        QVERIFY(controls.listen && controls.connect && controls.address && controls.port);
        QVERIFY(!controls.close && !controls.sendData);
    }

    void entriesComplete_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("complete");
        QTest::newRow("both") << "host"
                              << "80" << true;
        QTest::newRow("spaces count") << "   "
                                      << "0" << true;
        QTest::newRow("no address") << ""
                                    << "80" << false;
        QTest::newRow("no port") << "host"
                                 << "" << false;
        QTest::newRow("neither") << ""
                                 << "" << false;
    }
    void entriesComplete()
    {
        QFETCH(QString, address);
        QFETCH(QString, port);
        QFETCH(bool, complete);
        QCOMPARE(ControlStates::entriesComplete(address, port), complete);
    }

    void startTls_data()
    {
        using EndpointState::Tls;
        QTest::addColumn<int>("state");
        QTest::addColumn<Tls>("tls");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("listening") << int(EndpointState::Listening) << Tls::Off << true;
        QTest::newRow("listening, armed") << int(EndpointState::Listening) << Tls::Armed << false;
        QTest::newRow("connected") << int(EndpointState::Connected) << Tls::Off << true;
        QTest::newRow("connected, armed") << int(EndpointState::Connected) << Tls::Armed << false;
        QTest::newRow("handshaking") << int(EndpointState::Connected) << Tls::Handshaking << false;
        QTest::newRow("TLS on") << int(EndpointState::Connected) << Tls::On << false;
        QTest::newRow("closed") << int(EndpointState::Closed) << Tls::Off << false;
        QTest::newRow("connecting") << int(EndpointState::Connecting) << Tls::Off << false;
        QTest::newRow("closing") << int(EndpointState::Closing) << Tls::Off << false;
        QTest::newRow("error") << int(EndpointState::Error) << Tls::Off << false;
    }
    void startTls()
    {
        QFETCH(int, state);
        QFETCH(EndpointState::Tls, tls);
        QFETCH(bool, enabled);
        QCOMPARE(ControlStates::startTls(state, tls), enabled);
    }

    void portToolTip_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("tip");
        QTest::newRow("listening") << int(EndpointState::Listening) << "Listening on port 40123";
        QTest::newRow("connected") << int(EndpointState::Connected) << "";
        QTest::newRow("closed") << int(EndpointState::Closed) << "";
    }
    void portToolTip()
    {
        QFETCH(int, state);
        QFETCH(QString, tip);
        QCOMPARE(ControlStates::portToolTip(state, 40123), tip);
    }
};

QTEST_APPLESS_MAIN(tst_ControlStates)
#include "tst_ControlStates.moc"
