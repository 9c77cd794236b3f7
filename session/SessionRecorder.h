#pragma once

#include "EndpointState.h"
#include "TcpFraming.h"

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <map>

// Records what crosses the wire into a pcapng file that Wireshark and tshark
// open: every byte sent and received, in order and with its time, each
// session framed as a TCP connection of its own (TcpFraming), and every
// status line as a packet comment. Recording goes on across sessions until
// it is stopped. The file is written as it goes, at least once a second; a
// write that fails stops the recording and is reported, naming the file, and
// nothing else is touched. Times are microseconds since the epoch (UTC).
class SessionRecorder : public QObject
{
    Q_OBJECT

public:
    explicit SessionRecorder(QObject *parent = nullptr);
    // Finishes the file.
    ~SessionRecorder() override;

    // Starts recording into `path`, created or emptied. Throws the file's
    // AppError when it cannot be opened for writing; nothing is recorded then.
    void start(const QString &path);
    // Writes what is left and closes the file.
    void stop();
    bool isRecording() const { return m_file.isOpen(); }

    // A connection was made; `opener` sent the SYN. `comment` goes on the SYN
    // besides the status lines waiting.
    void opened(quint64 connection, const TcpFraming::Ends &ends, TcpFraming::Side opener,
                qint64 time, const QString &comment = {});
    void sent(quint64 connection, QByteArrayView bytes, qint64 time);
    void received(quint64 connection, QByteArrayView bytes, qint64 time);
    // `why` goes on a reset besides the status lines waiting.
    void ended(quint64 connection, EndpointState::Ending ending, const QString &why, qint64 time);
    // Status lines go on the next packet recorded, one comment a line.
    void statusLines(const QString &text);

signals:
    // Started or stopped, also by a write that failed.
    void recordingChanged(bool recording);

private:
    void recordData(quint64 connection, TcpFraming::Side from, QByteArrayView bytes, qint64 time);
    void record(const QList<TcpFraming::Segment> &segments, qint64 time);
    // Writes the blocks waiting; false when the file refused them.
    bool writeUnwritten();
    // The same, and a failure stops the recording and is reported.
    void writeOut();
    void close();

    QFile m_file;
    QString m_path;
    // Blocks not written to the file yet.
    QByteArray m_unwritten;
    QStringList m_comments;
    std::map<quint64, TcpFraming> m_streams;
    QTimer m_writeTimer;
};
