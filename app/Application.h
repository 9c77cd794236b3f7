#pragma once

#include "AppError.h"

#include <QApplication>

// The program's application object. Whatever an event handler throws that
// the one error report knows (an AppError, an allocation that failed) goes to
// the report instead of ending the program, with it the unsaved transcript;
// reported once the event is over, while no other such report is showing.
class Application : public QApplication
{
public:
    Application(int &argc, char **argv) : QApplication(argc, argv) {}

    bool notify(QObject *receiver, QEvent *event) override;

private:
    void reportLater(const AppError &error);

    bool m_reportPending = false;
};
