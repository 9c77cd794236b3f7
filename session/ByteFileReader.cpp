#include "ByteFileReader.h"

#include "ByteFile.h"

#include <new>

namespace {

// Read a slice at a time between events: a few milliseconds each.
constexpr qint64 sliceBytes = 4 * 1024 * 1024;

} // namespace

ByteFileReader::ByteFileReader(QObject *parent) : QObject(parent)
{
    m_next.setSingleShot(true);
    connect(&m_next, &QTimer::timeout, this, &ByteFileReader::readSlice);
}

void ByteFileReader::start(const QString &path)
{
    m_next.stop();
    m_file.close();
    m_slices.clear();
    m_read = 0;
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly))
        throw ByteFile::fileError(m_file, path, true);
    if (m_file.size() > maxBytes) {
        m_file.close();
        throw AppError(
            7, QStringLiteral("Out of memory: %1: larger than the 1 GiB a box holds").arg(path));
    }
    m_next.start(0);
}

void ByteFileReader::readSlice()
{
    const QString path = m_file.fileName();
    QByteArray bytes;
    bool outOfMemory = false;
    try {
        // Read into a buffer of exactly the slice's size (QIODevice::read
        // and resize() round theirs up), so that the box can keep a full
        // slice as it is; a short one lets go of the room it did not use.
        bytes = QByteArray(sliceBytes, Qt::Uninitialized);
        bytes.resize(qMax<qint64>(0, m_file.read(bytes.data(), sliceBytes)));
        if (bytes.size() < sliceBytes)
            bytes.squeeze();
        m_read += bytes.size();
        if (!bytes.isEmpty())
            m_slices.append(bytes);
    } catch (const std::bad_alloc &) {
        outOfMemory = true;
    }
    // A device that never ends (/dev/zero) meets the same limit as a file.
    if (outOfMemory || m_read > maxBytes) {
        fail(AppError(
            7, QStringLiteral("Out of memory: %1: larger than the 1 GiB a box holds").arg(path)));
        return;
    }
    if (bytes.isEmpty() && !m_file.atEnd()) {
        fail(ByteFile::fileError(m_file, path, true));
        return;
    }
    if (!m_file.atEnd() && !bytes.isEmpty()) {
        m_next.start(0);
        return;
    }
    m_file.close();
    m_read = 0;
    emit finished(std::exchange(m_slices, {}));
}

void ByteFileReader::fail(const AppError &error)
{
    m_file.close();
    m_slices.clear();
    m_read = 0;
    emit failed(error);
}
