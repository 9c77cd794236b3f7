#pragma once

#include "EditCommands.h"

#include <QObject>

class QActionGroup;
class QMenu;
class QWidget;

// What Enter inserts in both boxes: one choice for the window, offered in
// their context menus ("&Enter Inserts": "&CR LF", "&LF", "C&R") and kept
// across runs, under "EnterInserts" in QSettings(<company>, <product>): the
// one setting the program keeps. CR LF until the user chooses otherwise.
class LineBreakSetting : public QObject
{
    Q_OBJECT

public:
    explicit LineBreakSetting(QWidget *window);

    EditCommands::LineBreak lineBreak() const { return m_lineBreak; }
    void setLineBreak(EditCommands::LineBreak lineBreak);
    // The submenu for the boxes' context menus.
    QMenu *menu() const { return m_menu; }

signals:
    void lineBreakChanged(EditCommands::LineBreak lineBreak);

private:
    EditCommands::LineBreak m_lineBreak = EditCommands::LineBreak::CrLf;
    QMenu *m_menu = nullptr;
    QActionGroup *m_choices = nullptr;
};
