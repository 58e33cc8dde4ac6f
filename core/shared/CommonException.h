#pragma once
// The one error type the model library and the core throw. Its text is meant for the user:
// it never carries a secret.

#include <QString>
#include <exception>
#include <string>

namespace keskor {

class CommonException : public std::exception {
public:
    explicit CommonException(QString message)
        : m_message(std::move(message)), m_utf8(m_message.toStdString()) {}

    const QString& message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_utf8.c_str(); }

private:
    QString m_message;
    std::string m_utf8;
};

} // namespace keskor
