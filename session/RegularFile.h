#pragma once

#include <QString>

class QFile;
class QFileDevice;

// Open File takes regular files only, and opens them without waiting: a FIFO
// would hold open(2) until a writer comes, a terminal read(2) until a line is
// typed. Save As asks the same before it replaces anything; Record Session
// opens without waiting too.
namespace RegularFile {

// Opens `path` into `file` for reading and returns its size. Throws AppError
// 75 naming what it is when it is not a regular file after following
// symbolic links, or the error of the open that failed.
qint64 openToRead(QFile &file, const QString &path);

// Opens `path` into `file` for writing, unbuffered, created or emptied,
// without waiting: a FIFO that no one reads is refused (75) instead of
// holding open(2) until a reader comes. Devices are written as they are.
// Throws the error of the open that failed.
void openToWrite(QFile &file, const QString &path);

// What `path` is after following symbolic links when it is not a regular
// file: "a FIFO", "a device", "a socket", "a folder"; empty for a regular
// file, or when nothing is there.
QString specialKind(const QString &path);

// For a long save: waits until what was written to `file` is on the disk
// (fdatasync). Called every few MiB, it keeps the save in step with the
// disk, so that the sync that completes it (QSaveFile::commit) has only the
// last few MiB left to wait for, not a gigabyte the window would freeze on.
// Does nothing where the system has no such call.
void syncWritten(QFileDevice &file);

} // namespace RegularFile
