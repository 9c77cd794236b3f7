#include "ByteFileReader.h"

#include "ByteFile.h"
#include "RegularFile.h"

#include <new>

namespace {

// Read a slice at a time between events: a few milliseconds each.
constexpr qint64 sliceBytes = 4 * 1024 * 1024;

AppError tooLarge(const QString &path)
{
    return AppError(
        7, QStringLiteral("Out of memory: %1: larger than the 1 GiB a box holds").arg(path));
}

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
    m_path = path;
    const qint64 size = RegularFile::openToRead(m_file, path);
    m_size = size > 0 ? size : -1;
    if (size > maxBytes) {
        m_file.close();
        throw tooLarge(path);
    }
    m_next.start(0);
}

void ByteFileReader::readSlice()
{
    // A file is read to the size it had, then asked for one more byte: there
    // should be none.
    const bool probing = m_size >= 0 && m_read == m_size;
    const qint64 want = m_size < 0 ? sliceBytes : qBound<qint64>(1, m_size - m_read, sliceBytes);
    QByteArray bytes;
    qint64 got = 0;
    try {
        // Read into a buffer of exactly the slice's size (QIODevice::read
        // and resize() round theirs up), so that the box can keep a full
        // slice as it is; a short one lets go of the room it did not use.
        bytes = QByteArray(want, Qt::Uninitialized);
        got = m_file.read(bytes.data(), want);
        bytes.resize(qMax<qint64>(0, got));
        if (bytes.size() < want)
            bytes.squeeze();
    } catch (const std::bad_alloc &) {
        return fail(tooLarge(m_path));
    }
    if (got < 0)
        return fail(ByteFile::fileError(m_file, m_path, true));
    if (m_size >= 0 && (probing ? got > 0 : got == 0))
        return fail(AppError(
            57, QStringLiteral("Device I/O error: %1: the file changed size while it was read")
                    .arg(m_path)));
    if (got == 0) {
        m_file.close();
        m_read = 0;
        emit finished(std::exchange(m_slices, {}));
        return;
    }
    m_read += got;
    if (m_read > maxBytes)
        return fail(tooLarge(m_path));
    m_slices.append(bytes);
    m_next.start(0);
}

void ByteFileReader::fail(const AppError &error)
{
    m_file.close();
    m_slices.clear();
    m_read = 0;
    emit failed(error);
}
