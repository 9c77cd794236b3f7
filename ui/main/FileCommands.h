#pragma once

#include "ByteFileReader.h"
#include "ByteFileWriter.h"
#include "CommandProgress.h"

#include <QObject>

class QAction;
class QWidget;
class WireTextEdit;

// Saving and sending files: the transcript's context menu saves its exact
// text as the bytes that arrived ("Save As..."); the outgoing box's context
// menu, or a file dropped onto it, puts a file's bytes into it ("Open
// File..."), replacing what it held as one step Undo takes back. Nothing is
// read or written unless the user asks; a failure is reported and the box
// keeps what it held. A save that takes more than a moment goes on between
// events behind a progress dialog whose Cancel leaves no file behind.
class FileCommands : public QObject
{
    Q_OBJECT

public:
    FileCommands(WireTextEdit *transcript, WireTextEdit *outgoing, QWidget *window);

    // Asks for a file and saves the transcript to it.
    void saveTranscriptAs();
    // Saves the transcript as it is now to `path`: a short one before this
    // returns, a long one a slice at a time after it.
    void saveTranscript(const QString &path);
    bool isSaving() const { return m_writer.isWriting(); }
    // Tests save at most this many characters a slice.
    void setSaveSlice(qsizetype characters) { m_writer.setSliceLength(characters); }
    // Asks for a file and opens it into the outgoing box.
    void openIntoOutgoing();
    // Starts reading `path`; the box takes its bytes once all are read.
    void openFile(const QString &path);

    QAction *saveAsAction() const { return m_saveAs; }
    QAction *openAction() const { return m_open; }

signals:
    // The outgoing box holds the file's bytes.
    void opened();

private:
    WireTextEdit *m_transcript = nullptr;
    WireTextEdit *m_outgoing = nullptr;
    QWidget *m_window = nullptr;
    QAction *m_saveAs = nullptr;
    QAction *m_open = nullptr;
    ByteFileReader m_reader;
    ByteFileWriter m_writer;
    CommandProgress m_saveProgress;
};
