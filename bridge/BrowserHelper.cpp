#include "bridge/BrowserHelper.h"

#include "core/shared/Info2Item.h"
#include "platform/AppLauncher.h"
#include "platform/Presenter.h"
#include "platform/UrlOpener.h"

#include <cstdio>

namespace keskor {

BrowserHelper::BrowserHelper(UrlOpener& opener, AppLauncher& launcher, Presenter& presenter,
                             std::function<void(const QString&)> copySecret)
    : m_opener(opener), m_launcher(launcher), m_presenter(presenter),
      m_copySecret(std::move(copySecret)) {}

QUrl BrowserHelper::normalisedUrl(const QString& url) {
    const QString text = url.trimmed();
    if (text.isEmpty()) {
        return {};
    }
    const bool hasScheme = text.left(4).compare(QLatin1String("http"), Qt::CaseInsensitive) == 0;
    const QUrl result(hasScheme ? text : QStringLiteral("http://%1").arg(text), QUrl::StrictMode);
    return result.isValid() && !result.host().isEmpty() ? result : QUrl();
}

QStringList BrowserHelper::programsOf(BrowserType browser) {
    switch (browser) {
    case BrowserType::Safari:
        return {};
    case BrowserType::Chrome:
        return {QStringLiteral("google-chrome"), QStringLiteral("google-chrome-stable"),
                QStringLiteral("chromium"), QStringLiteral("chromium-browser")};
    case BrowserType::Firefox:
        return {QStringLiteral("firefox"), QStringLiteral("firefox-esr")};
    }
    return {};
}

QStringList BrowserHelper::desktopEntriesOf(BrowserType browser) {
    switch (browser) {
    case BrowserType::Safari:
        return {};
    case BrowserType::Chrome:
        return {QStringLiteral("google-chrome.desktop"),
                QStringLiteral("com.google.Chrome.desktop"), QStringLiteral("chromium.desktop"),
                QStringLiteral("org.chromium.Chromium.desktop")};
    case BrowserType::Firefox:
        return {QStringLiteral("firefox.desktop"), QStringLiteral("firefox-esr.desktop"),
                QStringLiteral("org.mozilla.firefox.desktop")};
    }
    return {};
}

QStringList BrowserHelper::commandOf(BrowserType browser) const {
    const QString program = m_launcher.findProgram(programsOf(browser));
    if (!program.isEmpty()) {
        return {program};
    }
    return m_launcher.desktopEntryCommand(desktopEntriesOf(browser));
}

QStringList BrowserHelper::terminalPrograms() {
    return {QStringLiteral("x-terminal-emulator"), QStringLiteral("gnome-terminal"),
            QStringLiteral("konsole"), QStringLiteral("xfce4-terminal"), QStringLiteral("xterm")};
}

bool BrowserHelper::isInstalled(BrowserType browser) const {
    return !commandOf(browser).isEmpty();
}

bool BrowserHelper::openUrl(const QString& url, BrowserType browser) {
    const QUrl target = normalisedUrl(url);
    if (!target.isValid()) {
        return false;
    }
    const QStringList command = commandOf(browser);
    if (command.isEmpty() || !m_launcher.launch(command.front(), command.mid(1) << target.toString(
                                                                     QUrl::FullyEncoded))) {
        m_presenter.alert(AlertStyle::warning, UiText::key(QStringLiteral("dialog_error")),
                          UiText::key(QStringLiteral("error_open_browser")), {});
        return false;
    }
    return true;
}

void BrowserHelper::openEntryUrl(const Info2Item& entry) {
    const std::optional<QString> url = entry.text(ItemText::Url);
    if (!url || url->trimmed().isEmpty()) {
        return;
    }
    if (entry.type == kTeamViewerEntryType) {
        openTeamViewer(entry, url->trimmed());
        return;
    }
    if (entry.type == kTerminalEntryType) {
        if (!m_launcher.launch(m_launcher.findProgram(terminalPrograms()), {})) {
            std::printf("error open terminal\n");
        }
        return;
    }
    const QUrl target = normalisedUrl(*url);
    if (target.isValid() && m_opener.openUrl(target)) {
        std::printf("default browser was successfully opened\n");
    }
}

void BrowserHelper::openTeamViewer(const Info2Item& entry, const QString& partnerId) {
    const QString program = m_launcher.findProgram({QStringLiteral("teamviewer")});
    if (program.isEmpty() || !m_launcher.launch(program, {QStringLiteral("-i"), partnerId})) {
        std::printf("error open teamviewer\n");
        m_presenter.alert(AlertStyle::warning, UiText::key(QStringLiteral("dialog_error")),
                          UiText::key(QStringLiteral("error_open_teamviewer")), {});
        return;
    }
    const std::optional<QString> password = entry.text(ItemText::Password);
    if (password && !password->isEmpty() && m_copySecret) {
        m_copySecret(*password);
        m_presenter.alert(AlertStyle::warning, UiText::key(QStringLiteral("dialog_warning")),
                          UiText::key(QStringLiteral("teamviewer_password_on_clipboard")), {});
    }
}

} // namespace keskor
