#pragma once

#include <QString>
#include <stdexcept>

// The one error type of the program: a step that cannot be done throws it with
// a number the user can look up and a description, and the top-level report
// shows both.
class AppError : public std::runtime_error
{
public:
    AppError(int number, const QString &description)
        : std::runtime_error(description.toStdString()), m_number(number),
          m_description(description)
    {
    }

    int number() const { return m_number; }
    QString description() const { return m_description; }

private:
    int m_number = 0;
    QString m_description;
};
