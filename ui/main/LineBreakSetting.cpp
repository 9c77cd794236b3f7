#include "LineBreakSetting.h"

#include "AppIdentity.h"

#include <QActionGroup>
#include <QMenu>
#include <QSettings>

namespace {

using EditCommands::LineBreak;

struct Choice
{
    LineBreak lineBreak;
    const char *caption;
    // As the settings file keeps it.
    const char *stored;
};
const Choice choices[] = {
    {LineBreak::CrLf, QT_TRANSLATE_NOOP("LineBreakSetting", "&CR LF"), "CRLF"},
    {LineBreak::Lf, QT_TRANSLATE_NOOP("LineBreakSetting", "&LF"), "LF"},
    {LineBreak::Cr, QT_TRANSLATE_NOOP("LineBreakSetting", "C&R"), "CR"},
};

const QString key = QStringLiteral("EnterInserts");

QSettings settings()
{
    return QSettings(appIdentity().companyName, appIdentity().productName);
}

} // namespace

LineBreakSetting::LineBreakSetting(QWidget *window) : QObject(window)
{
    const QString stored = settings().value(key).toString();
    for (const Choice &choice : choices) {
        if (stored == QLatin1String(choice.stored))
            m_lineBreak = choice.lineBreak;
    }
    m_menu = new QMenu(tr("&Enter Inserts"), window);
    m_choices = new QActionGroup(this);
    for (const Choice &choice : choices) {
        QAction *action = m_menu->addAction(tr(choice.caption));
        action->setCheckable(true);
        action->setChecked(choice.lineBreak == m_lineBreak);
        m_choices->addAction(action);
        connect(action, &QAction::triggered, this,
                [this, lineBreak = choice.lineBreak] { setLineBreak(lineBreak); });
    }
}

void LineBreakSetting::setLineBreak(EditCommands::LineBreak lineBreak)
{
    for (const Choice &choice : choices) {
        if (choice.lineBreak != lineBreak)
            continue;
        m_choices->actions().at(&choice - choices)->setChecked(true);
        if (lineBreak == m_lineBreak)
            return;
        m_lineBreak = lineBreak;
        settings().setValue(key, QLatin1String(choice.stored));
        emit lineBreakChanged(lineBreak);
    }
}
