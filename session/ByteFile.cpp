#include "ByteFile.h"

#include "CodePage1252.h"
#include "TextArea.h"

#include <QFileInfo>
#include <QSaveFile>

namespace ByteFile {

AppError fileError(const QFileDevice &file, const QString &path, bool reading)
{
    const QFileInfo info(path);
    const QFileInfo folder(info.absolutePath());
    int number = 75;
    QString meaning = QStringLiteral("Path/File access error");
    switch (file.error()) {
    case QFileDevice::ResourceError:
        number = 61;
        meaning = QStringLiteral("Disk full");
        break;
    case QFileDevice::PermissionsError:
        number = 70;
        meaning = QStringLiteral("Permission denied");
        break;
    case QFileDevice::ReadError:
    case QFileDevice::WriteError:
    case QFileDevice::FatalError:
        number = 57;
        meaning = QStringLiteral("Device I/O error");
        break;
    default:
        if (!folder.isDir()) {
            number = 76;
            meaning = QStringLiteral("Path not found");
        } else if (reading && !info.exists()) {
            number = 53;
            meaning = QStringLiteral("File not found");
        } else if (!info.isDir() &&
                   ((reading && !info.isReadable()) || (!reading && !folder.isWritable()))) {
            number = 70;
            meaning = QStringLiteral("Permission denied");
        }
        break;
    }
    return AppError(number, QStringLiteral("%1: %2: %3").arg(meaning, path, file.errorString()));
}

void save(const QString &path, const TextArea &box)
{
    // Read, encoded and written a piece at a time, so that the bytes of a
    // large transcript never sit in memory all at once beside its text.
    TextRules::PlaceCounter place;
    box.forEachPiece([&place](const QString &piece) {
        const qsizetype refused = CodePage1252::firstUnencodable(piece);
        if (refused >= 0)
            throw AppError(40201,
                           CodePage1252::describeCharacter(piece, refused, place) +
                               QStringLiteral(" cannot be saved in the Windows-1252 code page"));
        place.add(piece);
    });
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw fileError(file, path, false);
    box.forEachPiece([&](const QString &piece) {
        const QByteArray bytes = CodePage1252::encode(piece);
        if (file.write(bytes) != bytes.size())
            throw fileError(file, path, false); // the unfinished file goes with `file`
    });
    if (!file.commit())
        throw fileError(file, path, false);
}

} // namespace ByteFile
