#include "core/CloudDBManagerViewController.h"

#include "core/CloudDBManagerViewControllerDelegate.h"
#include "core/IAuthorizationCodeExchange.h"
#include "platform/Presenter.h"

#include <QVariantMap>
#include <algorithm>

namespace keskor {

namespace {

UiText key(const char* k) {
    return UiText::key(QString::fromLatin1(k));
}

/// The dialog id of the create-database dialog; the value names its location.
const QString kCreateDatabaseDialog = QStringLiteral("CreateNewDBViewController");

} // namespace

CloudDBManagerViewController::CloudDBManagerViewController(IRemoteStorage& storage,
                                                           Location location, Presenter& presenter,
                                                           TextLookup text)
    : m_storage(storage), m_location(location), m_presenter(presenter), m_text(std::move(text)) {}

template <typename F> auto CloudDBManagerViewController::guarded(F f, bool hidesBusy) {
    return [presenter = &m_presenter, alive = std::weak_ptr<int>(m_alive), hidesBusy,
            f = std::move(f)](auto&&... args) {
        if (hidesBusy) {
            presenter->hideBusy();
        }
        if (!alive.expired()) {
            f(std::forward<decltype(args)>(args)...);
        }
    };
}

QString CloudDBManagerViewController::titleKey(Location location) {
    switch (location) {
    case Location::dropbox:
        return QStringLiteral("dropbox");
    case Location::gDrive:
        return QStringLiteral("gdrive");
    case Location::oneDrive:
        return QStringLiteral("onedrive");
    case Location::box:
        return QStringLiteral("box");
    case Location::hiDrive:
        return QStringLiteral("hidrive");
    default:
        return QString();
    }
}

QString CloudDBManagerViewController::title() const {
    const QString k = titleKey(m_location);
    return k.isEmpty() ? QString() : m_text(k);
}

QString CloudDBManagerViewController::fileName() const {
    const std::shared_ptr<RemoteFileInfo> file = selectedFile();
    return file ? file->name : QString();
}

std::shared_ptr<RemoteFileInfo> CloudDBManagerViewController::selectedFile() const {
    if (m_selectedRows.isEmpty()) {
        return nullptr;
    }
    const int row = m_selectedRows.last();
    return row >= 0 && row < int(m_dbList.size()) ? m_dbList[size_t(row)] : nullptr;
}

void CloudDBManagerViewController::start() {
    m_controls.open = false;
    if (m_location == Location::oneDrive) {
        // The OneDrive store signs in silently when it can, so it is asked to list first.
        m_presenter.showBusy(key("files_info_loading"));
        m_storage.listFiles(guarded([this](const IRemoteStorage::FileList&) { refresh(); }),
                            guarded([this](const QString&) { refresh(); }));
        return;
    }
    refresh();
}

void CloudDBManagerViewController::refresh() {
    if (!m_storage.isLoggedIn()) {
        setSignedIn(false);
        setList({});
        return;
    }
    setSignedIn(true);
    reload();
    m_presenter.showBusy(key("files_info_loading"));
    m_storage.listFiles(
        guarded([this](IRemoteStorage::FileList list) { setList(std::move(list)); }),
        guarded([this](const QString& message) { error(AlertStyle::warning, message); }));
}

void CloudDBManagerViewController::signIn() {
    if (m_location == Location::hiDrive) {
        // Its login only opens the provider's page in the browser; the user brings back a code.
        m_storage.login([] {}, [](const QString&) {});
        const std::optional<QString> code = m_presenter.alertWithTextField(
            AlertStyle::informational, key("authorization"), key("hidrive_input_code"),
            {key("dialog_ok"), key("dialog_cancel")});
        if (!code || code->trimmed().isEmpty()) {
            return;
        }
        auto* exchange = dynamic_cast<IAuthorizationCodeExchange*>(&m_storage);
        if (!exchange) {
            error(AlertStyle::critical, m_text(QStringLiteral("cloud_not_available")));
            return;
        }
        m_presenter.showBusy(key("authorization"));
        exchange->exchangeCode(
            code->trimmed(), guarded([this] { refresh(); }),
            guarded([this](const QString& message) { error(AlertStyle::critical, message); }));
        return;
    }
    m_storage.login(
        guarded([this] { refresh(); }, false),
        guarded([this](const QString& message) { error(AlertStyle::critical, message); }, false));
}

void CloudDBManagerViewController::signOut() {
    m_storage.logout();
    refresh();
}

void CloudDBManagerViewController::onLoginSegment(int segment) {
    if (segment == 0) {
        signIn();
    } else if (segment == 1) {
        signOut();
    }
}

void CloudDBManagerViewController::onToolSegment(int segment) {
    switch (segment) {
    case 0:
        refresh();
        break;
    case 1:
        newDatabase();
        break;
    case 2:
        deleteSelected();
        break;
    default:
        break;
    }
}

void CloudDBManagerViewController::newDatabase() {
    // The dialog is modal: when it returns the new database is on the store, or nothing is.
    const std::weak_ptr<int> alive = m_alive;
    m_presenter.openDialog(kCreateDatabaseDialog,
                           {{QStringLiteral("location"), Locations::raw(m_location)}});
    if (!alive.expired()) {
        refresh();
    }
}

void CloudDBManagerViewController::deleteSelected() {
    const std::shared_ptr<RemoteFileInfo> file = selectedFile();
    if (!file) {
        return;
    }
    const QString question = m_text(QStringLiteral("delete_confirm")) + u' ' +
                             QString::number(m_selectedRows.size()) + u' ' +
                             m_text(QStringLiteral("items")) + u'?';
    if (m_presenter.alert(AlertStyle::critical, key("dialog_warning"), UiText::plain(question),
                          {key("dialog_ok"), key("dialog_cancel")}) != 0) {
        return;
    }
    m_presenter.showBusy(key("files_deleting_message"));
    m_storage.deleteFiles(
        {file}, guarded([this, file] {
            // By identity: the rows may have moved while the store was working.
            const auto it = std::find(m_dbList.begin(), m_dbList.end(), file);
            if (it != m_dbList.end()) {
                m_dbList.erase(it);
            }
            m_selectedRows.clear();
            m_controls.open = false;
            reload();
        }),
        guarded([this](const QString& message) { error(AlertStyle::warning, message); }));
}

void CloudDBManagerViewController::setSelectedRows(QList<int> rows) {
    rows.removeIf([this](int row) { return row < 0 || row >= int(m_dbList.size()); });
    m_selectedRows = std::move(rows);
    m_controls.open = !m_selectedRows.isEmpty();
}

bool CloudDBManagerViewController::open() {
    const std::shared_ptr<RemoteFileInfo> file = selectedFile();
    if (!file) {
        return false;
    }
    if (m_delegate) {
        m_delegate->openRemoteFile(file, m_location);
    }
    if (m_view.close) {
        m_view.close();
    }
    return true;
}

void CloudDBManagerViewController::sort(SortKey sortKey, Qt::SortOrder order) {
    const auto less = [sortKey](const std::shared_ptr<RemoteFileInfo>& a,
                                const std::shared_ptr<RemoteFileInfo>& b) {
        switch (sortKey) {
        case SortKey::modified:
            // Files without a date come first, as the oldest.
            return a->modified.value_or(QDateTime()) < b->modified.value_or(QDateTime());
        case SortKey::size:
            return a->size < b->size;
        case SortKey::name:
            break;
        }
        return a->name.localeAwareCompare(b->name) < 0;
    };
    std::stable_sort(m_dbList.begin(), m_dbList.end(),
                     [&less, order](const auto& a, const auto& b) {
                         return order == Qt::AscendingOrder ? less(a, b) : less(b, a);
                     });
    m_selectedRows.clear();
    m_controls.open = false;
    reload();
}

void CloudDBManagerViewController::setSignedIn(bool signedIn) {
    m_controls.signIn = !signedIn;
    m_controls.signOut = signedIn;
    m_controls.refresh = signedIn;
    m_controls.newDatabase = signedIn;
    m_controls.deleteFiles = signedIn;
}

void CloudDBManagerViewController::setList(IRemoteStorage::FileList list) {
    // A provider's list may hold gaps; the table shows files only.
    list.erase(std::remove(list.begin(), list.end(), nullptr), list.end());
    m_dbList = std::move(list);
    m_selectedRows.clear();
    m_controls.open = false;
    reload();
}

void CloudDBManagerViewController::reload() {
    if (m_view.reload) {
        m_view.reload();
    }
}

void CloudDBManagerViewController::error(AlertStyle style, const QString& message) {
    m_presenter.alert(style, key("dialog_error"), UiText::plain(message), {});
}

} // namespace keskor
