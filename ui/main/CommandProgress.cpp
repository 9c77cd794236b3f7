#include "CommandProgress.h"

#include <QProgressDialog>

namespace {

// The bar's steps, and how long a command runs before it shows.
constexpr int steps = 1000;
constexpr int delayMs = 500;

} // namespace

CommandProgress::CommandProgress(QWidget *window, QString label, std::function<void()> cancelled)
    : m_window(window), m_label(std::move(label)), m_cancelled(std::move(cancelled))
{
}

CommandProgress::~CommandProgress()
{
    delete m_dialog;
}

void CommandProgress::start()
{
    if (!m_dialog) {
        m_dialog = new QProgressDialog(m_label, QProgressDialog::tr("Cancel"), 0, steps, m_window);
        m_dialog->setWindowModality(Qt::WindowModal);
        m_dialog->setMinimumDuration(delayMs);
        QObject::connect(m_dialog, &QProgressDialog::canceled, m_dialog, [this] { m_cancelled(); });
    }
    m_dialog->setValue(0);
}

void CommandProgress::update(qsizetype done, qsizetype total)
{
    if (m_dialog && total > 0)
        m_dialog->setValue(int(qMin(done, total) * steps / total));
}

void CommandProgress::end()
{
    if (m_dialog)
        m_dialog->reset();
}
