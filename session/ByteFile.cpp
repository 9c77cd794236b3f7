#include "ByteFile.h"

#include "CodePage1252.h"

#include <QFileInfo>
#include <QSaveFile>

namespace {

// Read and written a slice at a time: a few milliseconds each.
constexpr qint64 sliceBytes = 4 * 1024 * 1024;

} // namespace

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

void save(const QString &path, QStringView text)
{
    const qsizetype refused = CodePage1252::firstUnencodable(text);
    if (refused >= 0)
        throw AppError(40201, CodePage1252::describeCharacter(text, refused) +
                                  QStringLiteral(" cannot be saved in the Windows-1252 code page"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw fileError(file, path, false);
    for (qsizetype at = 0; at < text.size(); at += sliceBytes) {
        const QByteArray bytes = CodePage1252::encode(text.mid(at, sliceBytes));
        if (file.write(bytes) != bytes.size())
            throw fileError(file, path, false); // the unfinished file goes with `file`
    }
    if (!file.commit())
        throw fileError(file, path, false);
}

} // namespace ByteFile

ByteFileReader::ByteFileReader(QObject *parent) : QObject(parent)
{
    m_next.setSingleShot(true);
    connect(&m_next, &QTimer::timeout, this, &ByteFileReader::readSlice);
}

void ByteFileReader::start(const QString &path)
{
    m_next.stop();
    m_file.close();
    m_text.clear();
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly))
        throw ByteFile::fileError(m_file, path, true);
    m_text.reserve(qsizetype(qMin<qint64>(m_file.size(), sliceBytes * 64)));
    m_next.start(0);
}

void ByteFileReader::readSlice()
{
    const QByteArray bytes = m_file.read(sliceBytes);
    if (bytes.isEmpty() && !m_file.atEnd()) {
        const AppError error = ByteFile::fileError(m_file, m_file.fileName(), true);
        m_file.close();
        m_text.clear();
        emit failed(error);
        return;
    }
    m_text += CodePage1252::decode(bytes);
    if (!m_file.atEnd() && !bytes.isEmpty()) {
        m_next.start(0);
        return;
    }
    m_file.close();
    emit finished(std::exchange(m_text, QString()));
}
