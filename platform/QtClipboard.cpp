#include "platform/QtClipboard.h"

#include <QClipboard>
#include <QDebug>
#include <QDir>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>

namespace keskor {

const char* const QtClipboard::kPasswordManagerHint = "x-kde-passwordManagerHint";

QtClipboard::QtClipboard(QClipboard* clipboard, QProcessEnvironment env)
    : m_clipboard(clipboard), m_env(std::move(env)) {}

QtClipboard::QtClipboard()
    : QtClipboard(QGuiApplication::clipboard(), QProcessEnvironment::systemEnvironment()) {}

void QtClipboard::setText(const QString& text, bool secret) {
    auto* mime = new QMimeData();
    mime->setText(text);
    if (secret) {
        mime->setData(QString::fromLatin1(kPasswordManagerHint), QByteArrayLiteral("secret"));
    }
    // The clipboard takes ownership of the data and drops whatever it held before.
    m_clipboard->setMimeData(mime, QClipboard::Clipboard);
}

QString QtClipboard::text() const {
    return m_clipboard->text(QClipboard::Clipboard);
}

void QtClipboard::clear() {
    m_clipboard->clear(QClipboard::Clipboard);
    const QString program = wlCopyProgram();
    if (program.isEmpty()) {
        return;
    }
    QProcess process;
    process.setProgram(program);
    process.setArguments({QStringLiteral("--clear")});
    process.setProcessEnvironment(m_env);
    // Detached: the clearing timer runs on the main thread, which must not wait for a child.
    if (!process.startDetached()) {
        qWarning() << "clipboard: cannot run wl-copy --clear";
    }
}

QString QtClipboard::wlCopyProgram() const {
    if (m_env.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty()) {
        return {};
    }
    const QString path = m_env.value(QStringLiteral("PATH"));
    const QStringList folders = path.split(QDir::listSeparator(), Qt::SkipEmptyParts);
    return folders.isEmpty() ? QString()
                             : QStandardPaths::findExecutable(QStringLiteral("wl-copy"), folders);
}

} // namespace keskor
