#pragma once
// Opens entries' URLs: in the desktop's default browser (xdg-open, which follows
// `xdg-settings get default-web-browser`), in a chosen browser found on the PATH or through
// its desktop entry, and for
// TeamViewer entries in TeamViewer and for terminal entries in the desktop's terminal
// (`x-terminal-emulator`). The TeamViewer password never goes on a command line, where every
// account on the machine can read it: TeamViewer takes it no other way, so it goes to the
// clipboard (cleared there like every copied secret) and the user is told to paste it.

#include "bridge/BrowserType.h"

#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

namespace keskor {

class AppLauncher;
class Info2Item;
class Presenter;
class UrlOpener;

class BrowserHelper {
public:
    static constexpr int kTerminalEntryType = 9;
    static constexpr int kTeamViewerEntryType = 10;

    /// `copySecret` puts a secret on the clipboard with its clearing scheduled.
    BrowserHelper(UrlOpener& opener, AppLauncher& launcher, Presenter& presenter,
                  std::function<void(const QString&)> copySecret);

    /// The default route for an entry: nothing without a URL; TeamViewer or the terminal for
    /// their entry types; the default browser otherwise.
    void openEntryUrl(const Info2Item& entry);
    /// Opens `url` in `browser`; a warning when that fails. False when nothing was opened.
    bool openUrl(const QString& url, BrowserType browser);
    bool isInstalled(BrowserType browser) const;

    /// `url` as written when it begins with "http" in any case, else behind "http://"; an
    /// invalid URL when none can be formed.
    static QUrl normalisedUrl(const QString& url);
    /// The program names a browser is found by, in order of preference (none for Safari).
    static QStringList programsOf(BrowserType browser);
    /// Its desktop entries, for a browser that is not on PATH (a Flatpak, say).
    static QStringList desktopEntriesOf(BrowserType browser);
    static QStringList terminalPrograms();

private:
    void openTeamViewer(const Info2Item& entry, const QString& partnerId);
    /// The program and arguments that start `browser`; empty when it is not installed.
    QStringList commandOf(BrowserType browser) const;

    UrlOpener& m_opener;
    AppLauncher& m_launcher;
    Presenter& m_presenter;
    std::function<void(const QString&)> m_copySecret;
};

} // namespace keskor
