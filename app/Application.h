#pragma once

#include <QApplication>

// The program's application object. Whatever an event handler throws that
// the one error report knows (an AppError, an allocation that failed) goes to
// the report instead of ending the program, with it the unsaved transcript.
class Application : public QApplication
{
public:
    Application(int &argc, char **argv) : QApplication(argc, argv) {}

    bool notify(QObject *receiver, QEvent *event) override;
};
