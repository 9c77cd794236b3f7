#pragma once

#include "AppError.h"

#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>

// Reads a file a slice at a time between events, so that a large one never
// holds the window up, and hands over its bytes in the slices it read, each
// byte one character in the code page.
class ByteFileReader : public QObject
{
    Q_OBJECT

public:
    explicit ByteFileReader(QObject *parent = nullptr);

    // Files up to this size are read; a larger one is refused (error 7).
    static constexpr qint64 maxBytes = qint64(1) << 30;

    // Starts reading `path`, dropping any reading still under way. Throws
    // AppError when it cannot be opened, is not a regular file (75) or is
    // too large. A file whose size changes while it is read fails (57).
    void start(const QString &path);

signals:
    void finished(const QList<QByteArray> &slices);
    void failed(const AppError &error);

private:
    void readSlice();
    void fail(const AppError &error);

    QFile m_file;
    QString m_path;
    // The size the file had when it was opened; -1 when the system gives
    // none (/proc's files say 0), and the file is read to its end.
    qint64 m_size = -1;
    QList<QByteArray> m_slices;
    qint64 m_read = 0;
    QTimer m_next;
};
