#include "enterprise/EnterpriseDBManagerViewController.h"

#include "core/RemoteFileInfo.h"
#include "enterprise/EnterpriseLoginViewController.h"
#include "enterprise/EnterpriseStorage.h"
#include "platform/Presenter.h"

#include <QVariantMap>

namespace keskor {

EnterpriseDBManagerViewController::EnterpriseDBManagerViewController(EnterpriseStorage& storage,
                                                                     Presenter& presenter,
                                                                     Opener opener)
    : m_storage(storage), m_presenter(presenter), m_opener(std::move(opener)) {
    m_storage.setDelegate(this);
}

EnterpriseDBManagerViewController::~EnterpriseDBManagerViewController() {
    m_storage.setDelegate(nullptr);
}

EnterpriseDBManagerViewController::Controls EnterpriseDBManagerViewController::controls() const {
    const bool in = m_storage.isLoggedIn();
    return {!m_busy, in && !m_busy, in && !m_busy, in && !m_busy && selected() != nullptr};
}

QString EnterpriseDBManagerViewController::fileName() const {
    const auto file = selected();
    return file ? file->name : QString();
}

QString EnterpriseDBManagerViewController::rightsText(const RemoteFileInfo& file) {
    return file.id.value_or(QString());
}

void EnterpriseDBManagerViewController::start() {
    if (m_storage.isLoggedIn()) {
        refresh();
    } else {
        databaseListChanged();
    }
}

void EnterpriseDBManagerViewController::onLoginMenu(int entry) {
    const auto method = entry == 1 ? EnterpriseLoginViewController::Method::azure
                                   : EnterpriseLoginViewController::Method::standard;
    m_presenter.openDialog(loginDialog, {{QStringLiteral("method"), int(method)}});
    // The log-in dialog is modal; it may have logged in by now.
    if (m_storage.isLoggedIn()) {
        refresh();
    }
}

void EnterpriseDBManagerViewController::logout() {
    m_storage.logout();
    m_selectedRow = -1;
    databaseListChanged();
}

void EnterpriseDBManagerViewController::refresh() {
    if (!m_storage.isLoggedIn()) {
        databaseListChanged();
        return;
    }
    m_busy = true;
    reload();
    // Not fresh: right after a two-factor log-in the server would not take the code again.
    m_storage.listFiles(
        [this, alive = std::weak_ptr<int>(m_alive)](IRemoteStorage::FileList) {
            if (!alive.expired()) {
                m_busy = false;
                databaseListChanged();
            }
        },
        [this, alive = std::weak_ptr<int>(m_alive)](const QString& message) {
            if (!alive.expired()) {
                m_busy = false;
                reload();
                error(message);
            }
        },
        false);
}

void EnterpriseDBManagerViewController::setSelectedRow(int row) {
    m_selectedRow = row;
    reload();
}

std::shared_ptr<RemoteFileInfo> EnterpriseDBManagerViewController::selected() const {
    if (m_selectedRow < 0 || std::size_t(m_selectedRow) >= m_dbList.size()) {
        return nullptr;
    }
    return m_dbList[std::size_t(m_selectedRow)];
}

bool EnterpriseDBManagerViewController::open() {
    const std::shared_ptr<RemoteFileInfo> file = selected();
    if (!file || m_busy) {
        return false;
    }
    m_busy = true;
    reload();
    m_presenter.showBusy(UiText::key(QStringLiteral("connect_to_server")));
    Presenter& presenter = m_presenter;
    m_storage.downloadFile(
        file,
        [this, &presenter, file, alive = std::weak_ptr<int>(m_alive)] {
            presenter.hideBusy();
            if (alive.expired()) {
                return;
            }
            m_busy = false;
            std::optional<IEntrySyncStorage::OpenedDatabase> opened =
                m_storage.takeDownloadedDatabase();
            if (!opened) {
                reload();
                error(QStringLiteral("error_file_read"));
                return;
            }
            m_opener(
                DatabaseInfo{file->name, QString(), Location::enterprise, m_storage.isAzureLogin()},
                std::move(*opened), file);
            if (m_view.close) {
                m_view.close();
            }
        },
        [this, &presenter, alive = std::weak_ptr<int>(m_alive)](const QString& message) {
            presenter.hideBusy();
            if (!alive.expired()) {
                m_busy = false;
                reload();
                error(message);
            }
        });
    return true;
}

void EnterpriseDBManagerViewController::databaseListChanged() {
    const std::shared_ptr<RemoteFileInfo> before = selected();
    m_dbList = m_storage.isLoggedIn() ? m_storage.remoteFiles() : IRemoteStorage::FileList{};
    m_selectedRow = -1;
    for (std::size_t i = 0; before && i < m_dbList.size(); ++i) {
        if (m_dbList[i]->path == before->path) {
            m_selectedRow = int(i);
        }
    }
    reload();
}

void EnterpriseDBManagerViewController::reload() {
    if (m_view.reload) {
        m_view.reload();
    }
}

void EnterpriseDBManagerViewController::error(const QString& message) {
    const UiText text = message.startsWith(QLatin1String("enterprise_error_")) ||
                                message == QLatin1String("error_file_read")
                            ? UiText::key(message)
                            : UiText::plain(message);
    m_presenter.alert(AlertStyle::critical, UiText::key(QStringLiteral("dialog_error")), text, {});
}

} // namespace keskor
