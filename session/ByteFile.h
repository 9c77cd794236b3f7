#pragma once

#include "AppError.h"

#include <QFileDevice>
#include <QString>

// Files hold what crosses the wire: a box's text as Windows-1252 bytes, one
// byte a character (ByteFileReader, ByteFileWriter). Tapwire reads or writes
// one only when the user asks. What they report when a file fails them:
namespace ByteFile {

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
