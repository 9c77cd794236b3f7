#pragma once

#include "ByteFileReader.h"

#include <QObject>

class QAction;
class QWidget;
class WireTextEdit;

// Saving and sending files: the transcript's context menu saves its exact
// text as the bytes that arrived ("Save As..."); the outgoing box's context
// menu, or a file dropped onto it, puts a file's bytes into it ("Open
// File..."), replacing what it held as one step Undo takes back. Nothing is
// read or written unless the user asks; a failure is reported and the box
// keeps what it held.
class FileCommands : public QObject
{
    Q_OBJECT

public:
    FileCommands(WireTextEdit *transcript, WireTextEdit *outgoing, QWidget *window);

    // Asks for a file and saves the transcript to it.
    void saveTranscriptAs();
    void saveTranscript(const QString &path);
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
};
