#pragma once

#include "AppError.h"

#include <QFile>
#include <QObject>
#include <QString>
#include <QStringView>
#include <QTimer>

class QFileDevice;

// Files hold what crosses the wire: a box's text as Windows-1252 bytes, one
// byte a character. Tapwire reads or writes one only when the user asks.
namespace ByteFile {

// Writes the bytes of `text` to `path` atomically: when anything fails,
// nothing is left behind and a file that was there is untouched. Throws
// AppError 40201 naming a character the code page cannot carry (and writes
// nothing), or the error of the file operation that failed.
void save(const QString &path, QStringView text);

// The error of a failed file operation, naming the file and the system's
// reason: 53 file not found, 57 device I/O error, 61 disk full, 70 permission
// denied, 75 path/file access error (a folder where a file should be, ...),
// 76 path not found.
AppError fileError(const QFileDevice &file, const QString &path, bool reading);

} // namespace ByteFile

// Reads a file a slice at a time between events, so that a large one never
// holds the window up, and hands over its bytes as text.
class ByteFileReader : public QObject
{
    Q_OBJECT

public:
    explicit ByteFileReader(QObject *parent = nullptr);

    // Starts reading `path`, dropping any reading still under way. Throws
    // AppError when the file cannot be opened.
    void start(const QString &path);
    bool isReading() const { return m_file.isOpen(); }

signals:
    void finished(const QString &text);
    void failed(const AppError &error);

private:
    void readSlice();

    QFile m_file;
    QString m_text;
    QTimer m_next;
};
