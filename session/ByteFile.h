#pragma once

#include "AppError.h"

#include <QFileDevice>
#include <QString>

class TextArea;

// Files hold what crosses the wire: a box's text as Windows-1252 bytes, one
// byte a character. Tapwire reads or writes one only when the user asks.
namespace ByteFile {

// Writes the bytes of the text in `box` to `path` atomically: when anything fails,
// nothing is left behind and a file that was there is untouched. Throws
// AppError 75 when `path` is there and is not a regular file after following
// symbolic links (a FIFO, a device: it would be replaced by a regular file),
// 40201 naming a character the code page cannot carry (and writes nothing),
// or the error of the file operation that failed.
void save(const QString &path, const TextArea &box);

// The error of a failed file operation, naming the file and the system's
// reason: 53 file not found, 57 device I/O error, 61 disk full, 70 permission
// denied, 75 path/file access error (a folder where a file should be, ...),
// 76 path not found.
AppError fileError(const QFileDevice &file, const QString &path, bool reading);
AppError fileError(QFileDevice::FileError error, const QString &path, bool reading,
                   const QString &reason);
// 75 for a path that is `kind` ("a FIFO", ...) where a regular file should be.
AppError notRegularFile(const QString &path, const QString &kind);

} // namespace ByteFile
