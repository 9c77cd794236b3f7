#include "FileCommands.h"

#include "ErrorReport.h"
#include "WireTextEdit.h"

#include <QAction>
#include <QFileDialog>

FileCommands::FileCommands(WireTextEdit *transcript, WireTextEdit *outgoing, QWidget *window)
    : QObject(window), m_transcript(transcript), m_outgoing(outgoing), m_window(window),
      m_saveProgress(window, tr("Saving Data Received..."), [this] { m_writer.cancel(); })
{
    m_saveAs = new QAction(tr("Save &As..."), this);
    connect(m_saveAs, &QAction::triggered, this,
            ErrorReport::guarded([this] { saveTranscriptAs(); }));
    transcript->addContextAction(m_saveAs);

    m_open = new QAction(tr("&Open File..."), this);
    connect(m_open, &QAction::triggered, this,
            ErrorReport::guarded([this] { openIntoOutgoing(); }));
    outgoing->addContextAction(m_open);
    outgoing->setAcceptsFileDrops(true);
    connect(outgoing, &WireTextEdit::fileDropped, this,
            ErrorReport::guarded([this](const QString &path) { openFile(path); }));

    connect(&m_reader, &ByteFileReader::finished, this, [this](const QList<QByteArray> &slices) {
        m_outgoing->replaceAllWithBytes(slices);
        m_outgoing->ensureVisible(0);
        emit opened();
    });
    connect(&m_reader, &ByteFileReader::failed, this, &ErrorReport::report);

    // A long save's progress, whose Cancel cancels the save (m_saveProgress):
    // no file is left, and one that was there is untouched.
    connect(&m_writer, &ByteFileWriter::progressed, this,
            [this](qsizetype written, qsizetype total) { m_saveProgress.update(written, total); });
    connect(&m_writer, &ByteFileWriter::finished, this, [this] { m_saveProgress.end(); });
    connect(&m_writer, &ByteFileWriter::failed, this, [this](const AppError &error) {
        m_saveProgress.end();
        ErrorReport::report(error);
    });
}

void FileCommands::saveTranscriptAs()
{
    const QString path = QFileDialog::getSaveFileName(m_window, tr("Save Data Received"), QString(),
                                                      tr("All files (*)"));
    if (!path.isEmpty())
        saveTranscript(path);
}

void FileCommands::saveTranscript(const QString &path)
{
    const WireDocument &text = m_transcript->document();
    m_writer.start(path, text.snapshot(0, text.size()));
    if (m_writer.isWriting())
        m_saveProgress.start();
}

void FileCommands::openIntoOutgoing()
{
    const QString path = QFileDialog::getOpenFileName(m_window, tr("Open File into Data to Send"),
                                                      QString(), tr("All files (*)"));
    if (!path.isEmpty())
        openFile(path);
}

void FileCommands::openFile(const QString &path)
{
    m_reader.start(path);
}
