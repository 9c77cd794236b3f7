#include "FileCommands.h"

#include "ByteFile.h"
#include "ErrorReport.h"
#include "WireTextEdit.h"

#include <QAction>
#include <QFileDialog>

FileCommands::FileCommands(WireTextEdit *transcript, WireTextEdit *outgoing, QWidget *window)
    : QObject(window), m_transcript(transcript), m_outgoing(outgoing), m_window(window)
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
    ByteFile::save(path, *m_transcript);
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
