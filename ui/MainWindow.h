#pragma once
// The main window: the start view while no database is open, otherwise the navigation tree,
// the entry list with the quick search, the detail pane, the location bar and the status bar
// with its four cells. Every command is in a menu with its shortcut; the commands forward to
// the workflows, the item changes and the dialogs the presenter opens by name.

#include "core/EntryBrowser.h"
#include "core/EntrySearchIndex.h"
#include "core/StatusBarItem.h"
#include "platform/NotificationCenter.h"

#include <QMainWindow>
#include <QPointer>
#include <memory>
#include <optional>

class QLabel;
class QLineEdit;
class QMenu;
class QStackedWidget;
class QStandardItem;
class QStandardItemModel;
class QTreeView;

namespace keskor {

class DetailPane;
class EntryListModel;
class StartView;
struct DatabaseInfo;
struct UiContext;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    /// Names of the dialogs the window asks the presenter for.
    struct Dialogs {
        static inline const QString createDatabase = QStringLiteral("CreateNewDBViewController");
        static inline const QString settings = QStringLiteral("SettingsViewController");
        static inline const QString generator = QStringLiteral("PasswordGeneratorViewController");
        static inline const QString keyGenerator = QStringLiteral("KeyGeneratorViewController");
        static inline const QString partial = QStringLiteral("PartialBuilderViewController");
        static inline const QString analyze = QStringLiteral("AnalyzeViewController");
        static inline const QString cleanUp = QStringLiteral("CleanUpViewController");
        static inline const QString replace = QStringLiteral("ReplaceViewController");
        static inline const QString backups = QStringLiteral("BackupManagerViewController");
        static inline const QString exportXml = QStringLiteral("XmlExportViewController");
        static inline const QString print = QStringLiteral("PrintViewController");
        static inline const QString editEntry = QStringLiteral("EntryDetailViewController");
        /// The remote file browser; value "location": the raw value of a cloud location.
        static inline const QString cloudDatabases = QStringLiteral("CloudDBManagerViewController");
        static inline const QString enterpriseDatabases =
            QStringLiteral("EnterpriseDBManagerViewController");
        /// The access rights of an enterprise entry; value "uuid": the entry.
        static inline const QString grantAccess = QStringLiteral("GrantAccessViewController");
        static inline const QString revokeAccess = QStringLiteral("RevokeAccessViewController");
        static inline const QString sealedAccess = QStringLiteral("SealedAccessViewController");
    };

    explicit MainWindow(UiContext& ctx, QWidget* parent = nullptr);
    ~MainWindow() override;

    void showDatabaseView();
    void showStartView();
    bool isShowingDatabase() const;

    /// The entries the list shows, the folder selected in the tree, the entry selected.
    EntryListModel& entryModel() { return *m_entries; }
    Info2Item* selectedFolder() const;
    std::shared_ptr<Info2Item> currentEntry() const;
    std::vector<std::shared_ptr<Info2Item>> selectedEntries() const;
    QLineEdit& searchField() { return *m_search; }
    QTreeView& entryView() { return *m_entryView; }
    QTreeView& navigationView() { return *m_navView; }

    /// Reads the tree and the list again from the open database, keeping the selection.
    void refresh();
    /// Selects an entry in the list (showing its folder), e.g. after the bridge asked to.
    void selectEntry(const Info2Item& entry);
    /// Opens the editor on an entry.
    void editEntry(std::shared_ptr<Info2Item> entry);
    /// A new entry of `type` in the selected folder, through the editor.
    void newEntry(int type);

    /// Called before the window closes: the quit questions; false keeps the program running.
    std::function<bool()> shouldClose;
    /// The "open URL" command for an entry; without it the URL goes to the desktop's handler.
    std::function<void(const Info2Item&)> openEntryUrl;
    /// The auto-complete command for an entry; without it the command does nothing.
    std::function<void(const Info2Item&)> autoComplete;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void buildEntryMenu();
    void buildDatabaseView();
    void rebuildNavigation();
    void updateList();
    void ensureSearchIndex();
    void updateStatus();
    void rebuildRecentMenu();
    void setStatusCell(StatusBarItem item, const QString& text, bool loading);
    void openDatabaseFile();
    void openRecent(const DatabaseInfo& info);
    void newFolder();
    void deleteSelection();
    void copyField(int field);
    void openUrl();
    void openDialog(const QString& id);
    QAction* action(QMenu* menu, const char* textKey, const QKeySequence& shortcut,
                    std::function<void()> fn, const char* name);
    QString t(const char* key) const;

    UiContext& m_ctx;
    QStackedWidget* m_stack;
    StartView* m_startView;
    QWidget* m_databaseView = nullptr;
    QLineEdit* m_search = nullptr;
    QLabel* m_location = nullptr;
    QTreeView* m_navView = nullptr;
    QStandardItemModel* m_navModel = nullptr;
    std::vector<NavigationNode> m_navigation;
    QHash<QStandardItem*, const NavigationNode*> m_nodeOf;
    NavigationNode m_selectedNode;
    QTreeView* m_entryView = nullptr;
    EntryListModel* m_entries = nullptr;
    /// Every entry in list order, and the last search's results: a keystroke that extends the
    /// search filters those instead of sorting the database again.
    std::optional<EntrySearchIndex> m_searchBase;
    QString m_lastSearch;
    EntrySearchIndex::Rows m_lastResults;
    std::size_t m_totalItems = 0;
    DetailPane* m_detail = nullptr;
    QMenu* m_recentMenu = nullptr;
    QList<QAction*> m_databaseActions;
    /// The entry menu's access-rights commands, usable on an enterprise database only.
    QMenu* m_entryMenu = nullptr;
    QList<QAction*> m_enterpriseActions;
    QHash<int, QLabel*> m_statusCells;
    std::vector<NotificationCenter::Token> m_observers;
};

} // namespace keskor
