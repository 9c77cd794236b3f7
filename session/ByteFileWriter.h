#pragma once

#include "AppError.h"
#include "TextSnapshot.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <limits>
#include <memory>

class QSaveFile;

// Writes a text to a file as its bytes in the code page, one byte a
// character, a slice at a time between events, so that saving a large
// transcript never holds the window up. The text is a snapshot: what was
// there when the save began, whatever arrives meanwhile. The file is written
// whole or not at all (QSaveFile): a failure, or cancel(), leaves nothing
// behind and a file that was there untouched.
class ByteFileWriter : public QObject
{
    Q_OBJECT

public:
    explicit ByteFileWriter(QObject *parent = nullptr);
    ~ByteFileWriter() override;

    // Starts writing `text` to `path`, cancelling a save still under way, and
    // writes for one slice's time at once: a short text is written, and
    // finished or failed, before this returns. Throws AppError 75 when `path`
    // is there and is not a regular file after following symbolic links (a
    // FIFO, a device: it would be replaced by a regular file), or the error
    // of opening it.
    void start(const QString &path, const TextSnapshot &text);
    // Stops the save under way, if any.
    void cancel();
    bool isWriting() const { return m_file != nullptr; }
    // Tests write at most this many characters a slice, so that a short
    // text takes many.
    void setSliceLength(qsizetype characters) { m_sliceLength = qMax<qsizetype>(1, characters); }

signals:
    // `written` of `total` characters are in the file.
    void progressed(qsizetype written, qsizetype total);
    void finished();
    // A character the code page cannot carry (40201, naming its line and
    // column), or the file operation that failed.
    void failed(const AppError &error);

private:
    void writeSlice();
    // 40201 for the character at `refused`, which has no byte in the code page.
    AppError refusal(qsizetype refused) const;
    void fail(const AppError &error);

    std::unique_ptr<QSaveFile> m_file;
    QString m_path;
    TextSnapshot m_text;
    qsizetype m_written = 0;
    // What is on the disk, synced.
    qsizetype m_synced = 0;
    qsizetype m_sliceLength = std::numeric_limits<qsizetype>::max();
    QTimer m_next;
};
