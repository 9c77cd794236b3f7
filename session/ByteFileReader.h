#pragma once

#include "AppError.h"

#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>

// Reads a file a slice at a time between events, so that a large one never
// holds the window up, and hands over its bytes, each one character in the
// code page.
class ByteFileReader : public QObject
{
    Q_OBJECT

public:
    explicit ByteFileReader(QObject *parent = nullptr);

    // Files up to this size are read; a larger one is refused (error 7).
    static constexpr qint64 maxBytes = qint64(1) << 30;

    // Starts reading `path`, dropping any reading still under way. Throws
    // AppError when the file cannot be opened or is too large.
    void start(const QString &path);

signals:
    void finished(const QByteArray &bytes);
    void failed(const AppError &error);

private:
    void readSlice();
    void fail(const AppError &error);

    QFile m_file;
    QByteArray m_bytes;
    QTimer m_next;
};
