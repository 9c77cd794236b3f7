#include "CommandRuns.h"

#include "AppError.h"
#include "BenchPeer.h"
#include "ErrorReport.h"
#include "FileCommands.h"
#include "Reception.h"
#include "TranscriptCheck.h"
#include "WireTextEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>

// The runs that, once the peer's bytes are in, time one command on the full
// transcript.

namespace bench {

// After receiving, a user types 中, which the code page has no byte for, in
// the middle of the transcript, as an input method delivers it. The peak
// covers the receiving and the typing. The character is then taken out
// again, so that the usual check applies.
Figures runWiden(const Shape &shape, qint64 mib)
{
    Reception reception(shape, mib);
    RunMeter meter;
    Figures figures = reception.receive(meter);
    WireTextEdit *transcript = reception.transcript();
    const qsizetype size = transcript->textLength();
    transcript->setCursorPosition(size / 2);
    const qsizetype at = transcript->cursorPosition();
    const QChar wide(0x4E2D);
    QInputMethodEvent typing;
    typing.setCommitString(wide);
    QCoreApplication::sendEvent(transcript, &typing);
    QCoreApplication::processEvents();
    const Figures typed = meter.stop(reception.clock());
    figures.residentGrowth = typed.residentGrowth;
    figures.peakGrowth = typed.peakGrowth;
    const bool inserted =
        transcript->textLength() == size + 1 && transcript->document().at(at) == wide;
    transcript->document().edit(at, at + 1, QString(), WireDocument::EditKind::Other);
    figures.exact = figures.exact && inserted && reception.transcriptExact();
    return figures;
}

// After receiving, the transcript's Clear button, then what is resident
// compared with before the data came. It should all have gone back.
Figures runClear(const Shape &shape, qint64 mib)
{
    Reception reception(shape, mib);
    RunMeter meter;
    Figures figures = reception.receiveChecked(meter);
    reception.window.findChild<QPushButton *>(QStringLiteral("cmdRecvDataC"))->click();
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    const double left = double(meter.stop(reception.clock()).residentGrowth) / MiB;
    figures.exact = figures.exact && reception.transcript()->textLength() == 0;
    figures.overLimit = left > 32;
    figures.more = field("rss_after_clear_minus_before_MiB", left);
    return figures;
}

static void pressWithControl(QWidget *widget, Qt::Key key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::ControlModifier);
    QCoreApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::ControlModifier);
    QCoreApplication::sendEvent(widget, &release);
}

// An operation's own fields: its longest stall, and its time as `name`.
// Past 100 ms without handling events the window has frozen: the run fails.
static QByteArray operationFields(const char *name, const OperationFigures &operation,
                                  Figures &figures)
{
    figures.exact = figures.exact && operation.finished;
    figures.overLimit = figures.overLimit || operation.stallMs > 100;
    return " op_stall_ms=" + QByteArray::number(operation.stallMs) + field(name, operation.seconds);
}

// After receiving, Select All with the transcript's keys, until the whole
// text is selected.
Figures runSelectAll(const Shape &shape, qint64 mib)
{
    Reception reception(shape, mib);
    RunMeter meter;
    Figures figures = reception.receiveChecked(meter);
    WireTextEdit *transcript = reception.transcript();
    const qsizetype size = transcript->textLength();
    const OperationFigures selecting = measureOperation(
        [&] { pressWithControl(transcript, Qt::Key_A); },
        [&] { return transcript->selectionEnd() - transcript->selectionStart() == size; });
    figures.more = operationFields("select_seconds", selecting, figures);
    return figures;
}

// After receiving, Select All, then Copy with the transcript's keys, until
// the clipboard offers text; then the clipboard is read back whole, as a
// paste would, and its length and 65 characters spread over it are checked.
// The clipboard's copy is not in the run's own memory figures; what the
// copying raised the peak by is a field of its own.
Figures runCopy(const Shape &shape, qint64 mib)
{
    Reception reception(shape, mib);
    RunMeter meter;
    Figures figures = reception.receiveChecked(meter);
    WireTextEdit *transcript = reception.transcript();
    pressWithControl(transcript, Qt::Key_A);
    QCoreApplication::processEvents();
    QClipboard *clipboard = QApplication::clipboard();
    clipboard->clear();
    RunMeter copyMeter;
    const OperationFigures copying =
        measureOperation([&] { pressWithControl(transcript, Qt::Key_C); },
                         [&] { return clipboard->mimeData() && clipboard->mimeData()->hasText(); });
    const Figures copied = copyMeter.stop(QElapsedTimer());
    QElapsedTimer reading;
    reading.start();
    const QString text = clipboard->text();
    const double readSeconds = reading.nsecsElapsed() / 1e9;
    const qsizetype size = transcript->textLength();
    bool same = text.size() == size;
    for (int i = 0; same && i <= 64; ++i) {
        const qsizetype at = (size - 1) * i / 64;
        same = text.at(at) == transcript->document().at(at);
    }
    figures.exact = figures.exact && same;
    figures.more = operationFields("copy_seconds", copying, figures) +
                   field("copy_peak_raise_MiB", double(copied.peakGrowth) / MiB) +
                   field("read_back_seconds", readSeconds);
    return figures;
}

// After receiving, Save As to a new file, as the menu does once the dialog
// has its name, until the file is there or an error is reported. The peak is
// lowered just before, so that its raise is the saving's own; the file must
// hold the transcript's bytes exactly.
Figures runSave(const Shape &shape, qint64 mib)
{
    Reception reception(shape, mib);
    RunMeter meter;
    Figures figures = reception.receiveChecked(meter);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("transcript.bin"));
    bool failed = false;
    const ErrorReport::Sink shown = ErrorReport::setSink([&failed](const AppError &error) {
        std::fprintf(stderr, "tapwire_bench: %s\n", qPrintable(error.description()));
        failed = true;
    });
    RunMeter saveMeter;
    const OperationFigures saving = measureOperation(
        ErrorReport::guarded([&] { reception.window.files()->saveTranscript(path); }),
        [&] { return failed || QFileInfo::exists(path); });
    const Figures saved = saveMeter.stop(QElapsedTimer());
    ErrorReport::setSink(shown);
    const double raise = double(saved.peakGrowth) / MiB;
    figures.exact =
        figures.exact && !failed &&
        transcriptHolds(FileText(path), Payload(shape.content, reception.bytes()), shape.tls);
    figures.overLimit = raise > 64;
    figures.more =
        operationFields("save_seconds", saving, figures) + field("save_peak_raise_MiB", raise);
    return figures;
}

static void sendMouse(QWidget *viewport, QEvent::Type type, const QPoint &point)
{
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, point, viewport->mapToGlobal(point), Qt::LeftButton, held,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &event);
}

// After a `noline` receive, whose payload and closing line are one line, a
// double click in the middle of it and a third click, until the line is
// selected, to and with its line end.
Figures runTripleClick(const Shape &shape, qint64 mib)
{
    Reception reception(shape, mib);
    RunMeter meter;
    Figures figures = reception.receiveChecked(meter);
    WireTextEdit *transcript = reception.transcript();
    const qsizetype size = transcript->textLength();
    const qsizetype lineStart =
        transcript->document().text(0, 1024).indexOf(QStringLiteral(").\r\n")) + 4;
    const qsizetype middle = (lineStart + size) / 2;
    transcript->ensureVisible(middle);
    QCoreApplication::processEvents();
    const QPoint point = transcript->characterRect(middle).center();
    QWidget *viewport = transcript->viewport();
    sendMouse(viewport, QEvent::MouseButtonPress, point);
    sendMouse(viewport, QEvent::MouseButtonRelease, point);
    sendMouse(viewport, QEvent::MouseButtonDblClick, point);
    sendMouse(viewport, QEvent::MouseButtonRelease, point);
    const OperationFigures selecting = measureOperation(
        [&] {
            sendMouse(viewport, QEvent::MouseButtonPress, point);
            sendMouse(viewport, QEvent::MouseButtonRelease, point);
        },
        [&] {
            return transcript->selectionStart() == lineStart && transcript->selectionEnd() == size;
        });
    figures.more = operationFields("select_seconds", selecting, figures);
    return figures;
}

// After receiving, the transcript shown as its dump and then as text again,
// each until its rows are all known.
Figures runHexSwitch(const Shape &shape, qint64 mib)
{
    Reception reception(shape, mib);
    RunMeter meter;
    Figures figures = reception.receiveChecked(meter);
    WireTextEdit *transcript = reception.transcript();
    const OperationFigures toDump = measureOperation(
        [&] { transcript->setHexShown(true); },
        [&] { return transcript->hexRows().rowCount() == transcript->textLength() / 16 + 1; });
    const OperationFigures toText = measureOperation(
        [&] { transcript->setHexShown(false); },
        [&] { return !transcript->isHexShown() && transcript->rows().isComplete(); });
    OperationFigures both = toDump;
    both.finished = toDump.finished && toText.finished;
    both.stallMs = qMax(toDump.stallMs, toText.stallMs);
    both.seconds = toDump.seconds + toText.seconds;
    figures.more = operationFields("switch_seconds", both, figures) +
                   " to_dump_stall_ms=" + QByteArray::number(toDump.stallMs) +
                   " to_text_stall_ms=" + QByteArray::number(toText.stallMs);
    return figures;
}

} // namespace bench
