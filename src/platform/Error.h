#pragma once

#include <QString>
#include <stdexcept>

// The program's error object: a one-line message, raised and caught.
class TallyError : public std::runtime_error {
public:
    explicit TallyError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& message() const noexcept { return m_message; }

private:
    QString m_message;
};
