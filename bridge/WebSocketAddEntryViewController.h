#pragma once
// The logic of the dialog that offers to save a login submitted in the browser as a new
// entry: Add (in the chosen folder, with the site's icon when it arrives in time), Ignore
// (remember the URL so the browser stops asking) or Cancel; it closes itself after a minute
// without an answer. The widget binds its controls to the public fields and buttons to the
// actions; the main view's add, the session save and the status text come in as hooks.

#include "bridge/SiteIconFetch.h"
#include "bridge/SocketXMLForm.h"
#include "core/shared/Info2Item.h"
#include "core/shared/PassFile.h"
#include "platform/Clock.h"
#include "platform/Presenter.h"
#include "platform/UiText.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QNetworkAccessManager;

namespace keskor {

class WebSocketAddEntryViewController {
public:
    static constexpr qint64 kIdleCloseMs = 60'000;
    static constexpr const char* kAutoTypeTemplate = "<USER><TAB><PASS><ENTER>";
    static constexpr const char* kDownloadingIconText = "Downloading icon from the website";

    struct Hooks {
        /// The main view's add: puts the entry into the folder and runs the session save.
        std::function<void(std::shared_ptr<Info2Item> entry, Info2Item& folder)> addItem;
        /// The session save; its failure is not reported here.
        std::function<void()> save;
        std::function<void(const UiText& text)> showStatus;
        /// Closes the window; called once.
        std::function<void()> close;
    };

    /// One line of the folder list: the database's top level first, then every folder depth
    /// first.
    struct FolderChoice {
        Info2Item* folder = nullptr;
        QString title;
        int depth = 0;
    };

    /// `network` null: no icon is fetched. The database, the hooks' targets and the network
    /// manager outlive the controller (the dialog is modal over the main window).
    WebSocketAddEntryViewController(PassFile& passfile, Presenter& presenter, Clock& clock,
                                    Hooks hooks, QNetworkAccessManager* network = nullptr);
    /// An add still waiting for its icon completes without it.
    ~WebSocketAddEntryViewController();
    WebSocketAddEntryViewController(const WebSocketAddEntryViewController&) = delete;
    WebSocketAddEntryViewController& operator=(const WebSocketAddEntryViewController&) = delete;

    /// Fills the fields from the page (no form: empty credentials) and the folder list, the
    /// folder selected in the main view (null: the top level) preselected.
    void configure(const QString& title, const QString& url,
                   const std::optional<SocketXMLForm>& form, const Info2Item* selectedFolder);
    /// Starts the one-minute auto-close.
    void viewDidLoad();

    void onAdd();
    void onIgnore();
    void onCancel();
    void idleTimerAction();

    bool isClosed() const noexcept { return m_closed; }
    /// True while an added entry waits for its icon.
    bool isAdding() const noexcept { return m_fetch != nullptr; }
    void setIconTimeoutMs(qint64 ms) { m_iconTimeoutMs = ms; }

    /// The host part of a URL field followed by an asterisk: the text after the first "//"
    /// (all of it without one), cut at the first slash and then at the first question mark.
    static QString additionalUrlFor(const QString& url);

    QString descriptionField;
    QString usernameField;
    QString passwordField;
    QString urlField;
    QList<FolderChoice> folderPopup;
    int selectedFolderIndex = 0;

private:
    Info2Item& chosenFolder() const;
    void finishAdd();
    void close();

    PassFile& m_passfile;
    Presenter& m_presenter;
    Clock& m_clock;
    Hooks m_hooks;
    QNetworkAccessManager* m_network;
    qint64 m_iconTimeoutMs = SiteIconFetch::kDefaultTimeoutMs;
    Clock::TimerId m_idleTimer = 0;
    bool m_closed = false;
    std::unique_ptr<SiteIconFetch> m_fetch;
    std::shared_ptr<Info2Item> m_pendingEntry;
    Info2Item* m_pendingFolder = nullptr;
};

} // namespace keskor
