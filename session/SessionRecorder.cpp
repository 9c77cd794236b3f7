#include "SessionRecorder.h"

#include "AppIdentity.h"
#include "ByteFile.h"
#include "ErrorReport.h"
#include "PcapngWriter.h"
#include "RegularFile.h"

#include <utility>

namespace {

constexpr int writeEveryMs = 1000;
// A flood goes to the file in pieces about this large between the timer's
// writes, so the recording never holds much of it.
constexpr qsizetype writeAtBytes = 1024 * 1024;

QString sectionComment()
{
    return QStringLiteral(
               "Recorded by %1. Each session is one TCP connection between its own addresses and "
               "ports; its handshake, acknowledgements and close are made to fit what %1 sent and "
               "received, not captured from the network. After Start TLS the bytes are the plain "
               "text "
               "%1 saw, not what crossed the wire. %1's status lines are packet comments.")
        .arg(appIdentity().title);
}

} // namespace

SessionRecorder::SessionRecorder(QObject *parent) : QObject(parent)
{
    m_writeTimer.setInterval(writeEveryMs);
    connect(&m_writeTimer, &QTimer::timeout, this, &SessionRecorder::writeOut);
}

SessionRecorder::~SessionRecorder()
{
    // Exit and closing the window end up here; a failure can no longer be
    // shown.
    if (isRecording())
        writeUnwritten();
}

void SessionRecorder::start(const QString &path)
{
    stop();
    RegularFile::openToWrite(m_file, path);
    m_path = path;
    m_unwritten = PcapngWriter::sectionHeader(sectionComment(), appIdentity().title) +
                  PcapngWriter::rawIpInterface();
    m_unwritten.reserve(2 * writeAtBytes);
    m_writeTimer.start();
    emit recordingChanged(true);
}

void SessionRecorder::stop()
{
    if (!isRecording())
        return;
    writeOut();
    if (!isRecording())
        return;
    close();
    emit recordingChanged(false);
}

void SessionRecorder::opened(quint64 connection, const TcpFraming::Ends &ends,
                             TcpFraming::Side opener, qint64 time, const QString &comment)
{
    if (!isRecording())
        return;
    TcpFraming &stream = m_streams.insert_or_assign(connection, TcpFraming(ends)).first->second;
    if (!comment.isEmpty())
        m_comments << comment;
    record(stream.open(opener), time);
}

void SessionRecorder::sent(quint64 connection, QByteArrayView bytes, qint64 time)
{
    recordData(connection, TcpFraming::Side::Local, bytes, time);
}

void SessionRecorder::received(quint64 connection, QByteArrayView bytes, qint64 time)
{
    recordData(connection, TcpFraming::Side::Remote, bytes, time);
}

void SessionRecorder::recordData(quint64 connection, TcpFraming::Side from, QByteArrayView bytes,
                                 qint64 time)
{
    const auto stream = m_streams.find(connection);
    if (stream != m_streams.end())
        record(stream->second.data(from, bytes), time);
}

void SessionRecorder::ended(quint64 connection, EndpointState::Ending ending, const QString &why,
                            qint64 time)
{
    using EndpointState::Ending;
    using Side = TcpFraming::Side;
    const auto found = m_streams.find(connection);
    if (found == m_streams.end())
        return;
    TcpFraming &stream = found->second;
    QList<TcpFraming::Segment> segments;
    switch (ending) {
    case Ending::Closed:
        segments = stream.close(Side::Local);
        break;
    case Ending::PeerClosed:
        segments = stream.close(Side::Remote);
        break;
    case Ending::PeerReset:
        segments = stream.reset(Side::Remote);
        break;
    case Ending::Aborted:
        segments = stream.reset(Side::Local);
        break;
    }
    m_streams.erase(found);
    if (!why.isEmpty())
        m_comments << why;
    // Recording may stop here, when the file refuses a write.
    record(segments, time);
}

void SessionRecorder::statusLines(const QString &text)
{
    if (!isRecording())
        return;
    const QStringList lines = text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    m_comments << lines;
}

void SessionRecorder::record(const QList<TcpFraming::Segment> &segments, qint64 time)
{
    for (const TcpFraming::Segment &segment : segments)
        PcapngWriter::appendPacket(m_unwritten, time, segment.headers, segment.payload,
                                   std::exchange(m_comments, {}));
    if (m_unwritten.size() >= writeAtBytes)
        writeOut();
}

bool SessionRecorder::writeUnwritten()
{
    qsizetype at = 0;
    // A write cut short is tried again, so that a failure sets its reason.
    while (at < m_unwritten.size()) {
        const qint64 written = m_file.write(m_unwritten.constData() + at, m_unwritten.size() - at);
        if (written <= 0)
            return false;
        at += written;
    }
    // Keeps the capacity for what comes next.
    m_unwritten.resize(0);
    return true;
}

void SessionRecorder::writeOut()
{
    if (!isRecording() || writeUnwritten())
        return;
    const AppError error = ByteFile::fileError(m_file, m_path, false);
    close();
    emit recordingChanged(false);
    // Reported once the handler that recorded has returned: the session
    // goes on as it was.
    const AppError stopped(error.number(),
                           error.description() + QStringLiteral("; recording stopped"));
    QTimer::singleShot(0, this, [stopped] { ErrorReport::report(stopped); });
}

void SessionRecorder::close()
{
    m_writeTimer.stop();
    m_file.close();
    m_unwritten = QByteArray();
    m_comments.clear();
    m_streams.clear();
}
