#pragma once

#include <QPointer>
#include <QString>

#include <functional>

class QProgressDialog;
class QWidget;

// The progress of a command that goes on between events (a long save, the
// search for a very long line's ends): a window-modal dialog that shows once
// the command looks like taking more than half a second, whose Cancel (or
// Escape, or closing it) calls `cancelled`. Made when first shown, then kept.
class CommandProgress
{
public:
    CommandProgress(QWidget *window, QString label, std::function<void()> cancelled);
    ~CommandProgress();
    CommandProgress(const CommandProgress &) = delete;
    CommandProgress &operator=(const CommandProgress &) = delete;

    // The command has started: the dialog's clock starts.
    void start();
    // `done` of `total` is done. A Cancel can be handled in here.
    void update(qsizetype done, qsizetype total);
    // The command has finished, failed or been cancelled.
    void end();

private:
    QWidget *m_window;
    QString m_label;
    std::function<void()> m_cancelled;
    QPointer<QProgressDialog> m_dialog;
};
