#include "platform/TerminalPresenter.h"

#include "core/shared/SecureBytes.h"

#include <QByteArray>
#include <termios.h>
#include <unistd.h>

namespace keskor {

TerminalPresenter::TerminalPresenter(TextLookup text, std::optional<QString> keyFile, std::FILE* in,
                                     std::FILE* err)
    : m_text(std::move(text)), m_keyFile(std::move(keyFile)), m_in(in), m_err(err) {}

QString TerminalPresenter::resolve(const UiText& text) const {
    return text.isKey() && m_text ? m_text(text.value()) : text.value();
}

bool TerminalPresenter::interactive() const {
    return isatty(fileno(m_in)) == 1;
}

std::optional<QString> TerminalPresenter::readLine(std::FILE* in, std::FILE* err,
                                                   const QString& prompt, bool secret) {
    const int fd = fileno(in);
    const bool tty = isatty(fd) == 1;
    termios saved{};
    if (tty) {
        std::fputs(qPrintable(prompt), err);
        std::fflush(err);
        if (secret && tcgetattr(fd, &saved) == 0) {
            termios quiet = saved;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            tcsetattr(fd, TCSAFLUSH, &quiet);
        }
    }
    QByteArray line;
    int c = 0;
    while ((c = std::fgetc(in)) != EOF && c != '\n') {
        line.append(static_cast<char>(c));
    }
    if (tty && secret) {
        tcsetattr(fd, TCSAFLUSH, &saved);
        std::fputc('\n', err);
    }
    if (c == EOF && line.isEmpty()) {
        return std::nullopt;
    }
    if (line.endsWith('\r')) {
        line.chop(1);
    }
    QString text = QString::fromUtf8(line);
    secureWipe(line);
    return text;
}

int TerminalPresenter::alert(AlertStyle, const UiText& message, const UiText& informative,
                             const QList<UiText>& buttons) {
    QString text = resolve(message);
    if (!informative.isEmpty()) {
        text += QStringLiteral(": ") + resolve(informative);
    }
    std::fprintf(m_err, "%s\n", qPrintable(text));
    if (buttons.size() <= 1) {
        return 0;
    }
    if (!interactive()) {
        return static_cast<int>(buttons.size()) - 1;
    }
    QString prompt;
    for (int i = 0; i < buttons.size(); ++i) {
        prompt += QStringLiteral("  %1) %2\n").arg(i + 1).arg(resolve(buttons[i]));
    }
    prompt += QStringLiteral("Choice: ");
    while (true) {
        const std::optional<QString> line = readLine(m_in, m_err, prompt, false);
        if (!line) {
            return static_cast<int>(buttons.size()) - 1;
        }
        bool ok = false;
        const int choice = line->trimmed().toInt(&ok);
        if (ok && choice >= 1 && choice <= buttons.size()) {
            return choice - 1;
        }
    }
}

std::optional<QString> TerminalPresenter::alertWithTextField(AlertStyle, const UiText& message,
                                                             const UiText& informative,
                                                             const QList<UiText>&) {
    // Piped input has nobody to copy a code from a web page; it counts as cancelled.
    if (!interactive()) {
        return std::nullopt;
    }
    QString prompt = resolve(message);
    if (!informative.isEmpty()) {
        prompt += QStringLiteral(": ") + resolve(informative);
    }
    const std::optional<QString> line = readLine(m_in, m_err, prompt + QStringLiteral(": "), false);
    if (!line || line->trimmed().isEmpty()) {
        return std::nullopt;
    }
    return line->trimmed();
}

std::optional<CredentialsAnswer>
TerminalPresenter::askCredentials(const CredentialsRequest& request) {
    // A terminal gets three tries; piped input has one line to give.
    const int attempts = interactive() ? 3 : 1;
    for (int i = 0; i < attempts; ++i) {
        CredentialsAnswer answer;
        if (request.askKeyFile) {
            if (!m_keyFile) {
                std::fprintf(m_err, "%s needs a key file (--key-file).\n",
                             qPrintable(request.databaseName));
                return std::nullopt;
            }
            answer.keyFilePath = m_keyFile;
        }
        if (request.askPassword) {
            QString prompt = QStringLiteral("Master password for %1").arg(request.databaseName);
            if (!request.hint.isEmpty()) {
                prompt += QStringLiteral(" (hint: %1)").arg(request.hint);
            }
            std::optional<QString> password =
                readLine(m_in, m_err, prompt + QStringLiteral(": "), true);
            if (!password) {
                return std::nullopt;
            }
            answer.password = *password;
            secureWipe(*password);
        }
        const std::optional<UiText> error =
            request.validate ? request.validate(answer) : std::nullopt;
        if (!error) {
            return answer;
        }
        std::fprintf(m_err, "%s\n", qPrintable(resolve(*error)));
        secureWipe(answer.password);
    }
    return std::nullopt;
}

std::optional<QString> TerminalPresenter::chooseFileToOpen(const UiText& title,
                                                           const QStringList&) {
    if (!interactive()) {
        return std::nullopt;
    }
    const auto line = readLine(m_in, m_err, resolve(title) + QStringLiteral(" (path): "), false);
    return line && !line->trimmed().isEmpty() ? std::optional<QString>(line->trimmed())
                                              : std::nullopt;
}

std::optional<QString> TerminalPresenter::chooseFileToSave(const UiText& title,
                                                           const QString& proposedName,
                                                           const QStringList& extensions) {
    return chooseFileToOpen(
        UiText::plain(resolve(title) + QStringLiteral(" [%1]").arg(proposedName)), extensions);
}

void TerminalPresenter::showBusy(const UiText& text) {
    std::fprintf(m_err, "%s\n", qPrintable(resolve(text)));
}

} // namespace keskor
