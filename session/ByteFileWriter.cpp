#include "ByteFileWriter.h"

#include "ByteFile.h"
#include "CodePage1252.h"
#include "RegularFile.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QSaveFile>

namespace {

// Written between events: pieces of a MiB, up to 8 MiB or 20 ms a slice,
// and every 8 MiB is synced to the disk, which takes a few milliseconds more.
constexpr qsizetype pieceCharacters = 1024 * 1024;
constexpr qsizetype sliceCharacters = 8 * pieceCharacters;
constexpr qint64 sliceMs = 20;

} // namespace

ByteFileWriter::ByteFileWriter(QObject *parent) : QObject(parent)
{
    m_next.setSingleShot(true);
    connect(&m_next, &QTimer::timeout, this, &ByteFileWriter::writeSlice);
}

ByteFileWriter::~ByteFileWriter()
{
    cancel();
}

void ByteFileWriter::start(const QString &path, const TextSnapshot &text)
{
    cancel();
    const QString kind = RegularFile::specialKind(path);
    if (!kind.isEmpty())
        throw ByteFile::notRegularFile(path, kind);
    auto file = std::make_unique<QSaveFile>(path);
    if (!file->open(QIODevice::WriteOnly))
        throw ByteFile::fileError(*file, path, false);
    m_file = std::move(file);
    m_path = path;
    m_text = text;
    m_written = 0;
    m_synced = 0;
    writeSlice();
}

void ByteFileWriter::cancel()
{
    m_next.stop();
    if (!m_file)
        return;
    // The unfinished file goes with it; one that was there stays as it was.
    m_file->cancelWriting();
    m_file.reset();
    m_text = {};
}

void ByteFileWriter::writeSlice()
{
    QElapsedTimer slice;
    slice.start();
    const qsizetype total = m_text.size();
    const qsizetype sliceEnd =
        m_written + qMin(qMin(m_sliceLength, sliceCharacters), total - m_written);
    while (m_written < sliceEnd && !slice.hasExpired(sliceMs)) {
        const qsizetype end = qMin(sliceEnd, m_written + pieceCharacters);
        bool written = true;
        const qsizetype refused =
            m_text.forEachBytePiece(m_written, end, [&](const QByteArray &bytes) {
                written = written && m_file->write(bytes) == bytes.size();
            });
        if (!written)
            return fail(ByteFile::fileError(*m_file, m_path, false));
        if (refused >= 0)
            return fail(refusal(refused));
        m_written = end;
    }
    if (m_written - m_synced >= sliceCharacters) {
        RegularFile::syncWritten(*m_file);
        m_synced = m_written;
    }
    if (m_written < total) {
        const QPointer<ByteFileWriter> alive(this);
        emit progressed(m_written, total);
        // A Cancel handled while the progress was shown has ended the save.
        if (alive && m_file)
            m_next.start(0);
        return;
    }
    const bool committed = m_file->commit();
    if (!committed)
        return fail(ByteFile::fileError(*m_file, m_path, false));
    m_file.reset();
    m_text = {};
    emit finished();
}

AppError ByteFileWriter::refusal(qsizetype refused) const
{
    const TextSnapshot &text = m_text;
    return CodePage1252::refusal(
        refused, 40201, QStringLiteral("saved"),
        [&text, refused](const std::function<void(const QString &)> &visit) {
            // Pieces of a MiB as far as the refused character, none ending
            // inside a surrogate pair.
            for (qsizetype at = 0; at <= refused;) {
                qsizetype end = qMin(text.size(), at + pieceCharacters);
                if (end < text.size() && text.text(end - 1, end).at(0).isHighSurrogate())
                    ++end;
                visit(text.text(at, end));
                at = end;
            }
        });
}

void ByteFileWriter::fail(const AppError &error)
{
    cancel();
    emit failed(error);
}
