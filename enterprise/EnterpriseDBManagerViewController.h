#pragma once
// The chooser of the enterprise server's databases without its widgets: logs in (standard or
// Azure, through the log-in dialog), lists what the server offers and opens the chosen
// database into the session. The widget shows `dbList()` and `controls()` on every reload.

#include "core/DatabaseInfo.h"
#include "core/IEntrySyncStorage.h"
#include "core/IRemoteStorage.h"
#include "enterprise/EnterpriseStorageDelegate.h"

#include <QString>
#include <functional>
#include <memory>

namespace keskor {

class EnterpriseStorage;
class Presenter;

class EnterpriseDBManagerViewController : public EnterpriseStorageDelegate {
public:
    /// Makes the downloaded database the session's database.
    using Opener =
        std::function<void(const DatabaseInfo& info, IEntrySyncStorage::OpenedDatabase opened,
                           std::shared_ptr<RemoteFileInfo> file)>;

    static inline const QString loginDialog = QStringLiteral("EnterpriseLoginViewController");
    /// Localisation keys of the table's columns.
    static inline const QString nameColumn = QStringLiteral("dbListNameCol");
    static inline const QString rightsColumn = QStringLiteral("dbListRightsCol");

    struct Controls {
        bool login = false;
        bool logout = false;
        bool refresh = false;
        bool open = false;
    };

    struct View {
        /// Shows dbList() and controls() again.
        std::function<void()> reload;
        /// Closes the chooser after a database was opened.
        std::function<void()> close;
    };

    EnterpriseDBManagerViewController(EnterpriseStorage& storage, Presenter& presenter,
                                      Opener opener);
    ~EnterpriseDBManagerViewController() override;
    EnterpriseDBManagerViewController(const EnterpriseDBManagerViewController&) = delete;
    EnterpriseDBManagerViewController& operator=(const EnterpriseDBManagerViewController&) = delete;

    void setView(View view) { m_view = std::move(view); }
    const IRemoteStorage::FileList& dbList() const noexcept { return m_dbList; }
    Controls controls() const;
    /// The name of the selected database; empty without a selection.
    QString fileName() const;
    /// The rights column's text of a listed database.
    static QString rightsText(const RemoteFileInfo& file);

    /// Lists at once when logged in, otherwise shows an empty list.
    void start();
    /// The log-in menu: 0 standard, 1 Azure. Opens the log-in dialog and lists after it.
    void onLoginMenu(int entry);
    void logout();
    void refresh();
    void setSelectedRow(int row);
    /// Downloads the selected database and hands it on; false without a selection.
    bool open();

    void databaseListChanged() override;

private:
    std::shared_ptr<RemoteFileInfo> selected() const;
    void reload();
    void error(const QString& message);

    EnterpriseStorage& m_storage;
    Presenter& m_presenter;
    Opener m_opener;
    View m_view;
    IRemoteStorage::FileList m_dbList;
    int m_selectedRow = -1;
    bool m_busy = false;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};

} // namespace keskor
