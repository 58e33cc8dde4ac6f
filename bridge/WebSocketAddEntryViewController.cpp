#include "bridge/WebSocketAddEntryViewController.h"

#include "core/shared/CommonException.h"
#include "core/shared/DateTimeHelper.h"
#include "core/shared/RightsHelper.h"

namespace keskor {

namespace {

void addFolders(Info2Item& parent, int depth,
                QList<WebSocketAddEntryViewController::FolderChoice>& out) {
    for (const auto& item : parent.subItems()) {
        if (item->isFolder && !item->isDeleted) {
            out.append({item.get(), item->description(), depth});
            addFolders(*item, depth + 1, out);
        }
    }
}

} // namespace

WebSocketAddEntryViewController::WebSocketAddEntryViewController(PassFile& passfile,
                                                                 Presenter& presenter, Clock& clock,
                                                                 Hooks hooks,
                                                                 QNetworkAccessManager* network)
    : m_passfile(passfile), m_presenter(presenter), m_clock(clock), m_hooks(std::move(hooks)),
      m_network(network) {}

WebSocketAddEntryViewController::~WebSocketAddEntryViewController() {
    m_clock.cancel(m_idleTimer);
    if (m_fetch) {
        // The user asked for the entry; a missing icon must not lose it.
        m_fetch.reset();
        finishAdd();
    }
}

QString WebSocketAddEntryViewController::additionalUrlFor(const QString& url) {
    QStringView host = url;
    if (const auto slashes = host.indexOf(QLatin1String("//")); slashes >= 0) {
        host = host.sliced(slashes + 2);
    }
    if (const auto slash = host.indexOf(u'/'); slash >= 0) {
        host = host.first(slash);
    }
    if (const auto query = host.indexOf(u'?'); query >= 0) {
        host = host.first(query);
    }
    return host.toString() + u'*';
}

void WebSocketAddEntryViewController::configure(const QString& title, const QString& url,
                                                const std::optional<SocketXMLForm>& form,
                                                const Info2Item* selectedFolder) {
    descriptionField = title;
    urlField = url;
    usernameField = form ? form->userName() : QString();
    passwordField = form ? form->password() : QString();

    folderPopup.clear();
    folderPopup.append({&m_passfile.root(), m_passfile.root().description(), 0});
    addFolders(m_passfile.root(), 1, folderPopup);
    selectedFolderIndex = 0;
    for (int i = 0; i < folderPopup.size(); ++i) {
        if (folderPopup[i].folder == selectedFolder) {
            selectedFolderIndex = i;
        }
    }
}

void WebSocketAddEntryViewController::viewDidLoad() {
    m_clock.cancel(m_idleTimer);
    m_idleTimer = m_clock.singleShot(kIdleCloseMs, [this] {
        m_idleTimer = 0;
        idleTimerAction();
    });
}

Info2Item& WebSocketAddEntryViewController::chosenFolder() const {
    if (selectedFolderIndex >= 0 && selectedFolderIndex < folderPopup.size()) {
        return *folderPopup[selectedFolderIndex].folder;
    }
    return m_passfile.root();
}

void WebSocketAddEntryViewController::onAdd() {
    if (m_closed || isAdding()) {
        return;
    }
    Info2Item& folder = chosenFolder();
    const Info2Item* rightsFolder = (&folder == &m_passfile.root()) ? nullptr : &folder;
    if (!RightsHelper::checkCreateRights(m_passfile, rightsFolder)) {
        m_presenter.alert(AlertStyle::warning, UiText::key(QStringLiteral("dialog_error")),
                          UiText::key(QStringLiteral("error_no_rights_to_create")), {});
        close();
        return;
    }

    auto entry = Info2Item::create(Info2Item::TypePassword, descriptionField);
    entry->setUserName(usernameField);
    entry->setUrl(urlField);
    entry->addAdditionalUrl(additionalUrlFor(urlField));
    entry->setAutoTypeTemplate(QString::fromLatin1(kAutoTypeTemplate));
    entry->setPassword(passwordField);
    entry->lastModified = DateTimeHelper::toDelphiTime(m_clock.now());
    m_pendingEntry = std::move(entry);
    m_pendingFolder = &folder;
    // The minute runs out for an unanswered dialog, not for one waiting for its icon.
    m_clock.cancel(std::exchange(m_idleTimer, 0));

    if (m_hooks.showStatus) {
        m_hooks.showStatus(UiText::plain(QString::fromLatin1(kDownloadingIconText)));
    }
    if (urlField.isEmpty() || m_network == nullptr) {
        finishAdd();
        return;
    }
    m_fetch = std::make_unique<SiteIconFetch>(*m_network, m_clock, m_iconTimeoutMs);
    m_fetch->start(urlField, [this](std::optional<QByteArray> png) {
        if (png && m_pendingEntry) {
            m_pendingEntry->icon.custom = true;
            m_pendingEntry->icon.image = std::move(*png);
        }
        // Runs inside the fetch's own callback: it is destroyed later, from the event loop.
        m_fetch.release()->deleteLater();
        finishAdd();
    });
}

void WebSocketAddEntryViewController::finishAdd() {
    auto entry = std::move(m_pendingEntry);
    Info2Item* folder = std::exchange(m_pendingFolder, nullptr);
    if (entry && folder && m_hooks.addItem) {
        m_hooks.addItem(std::move(entry), *folder);
    }
    if (m_hooks.showStatus) {
        m_hooks.showStatus(UiText::key(QStringLiteral("app_name")));
    }
    close();
}

void WebSocketAddEntryViewController::onIgnore() {
    if (m_closed || isAdding()) {
        return;
    }
    m_passfile.addIgnoredUrl(urlField);
    if (m_hooks.save) {
        try {
            m_hooks.save();
        } catch (const CommonException&) {
            // The URL stays ignored for this session; the next save writes it.
        }
    }
    close();
}

void WebSocketAddEntryViewController::onCancel() {
    if (m_closed || isAdding()) {
        return;
    }
    close();
}

void WebSocketAddEntryViewController::idleTimerAction() {
    onCancel();
}

void WebSocketAddEntryViewController::close() {
    if (m_closed) {
        return;
    }
    m_closed = true;
    m_clock.cancel(std::exchange(m_idleTimer, 0));
    if (m_hooks.close) {
        m_hooks.close();
    }
}

} // namespace keskor
