#include "ui/MainWindow.h"

#include "core/AppDelegate.h"
#include "core/ClipboardHelper.h"
#include "core/CloudDBManagerViewController.h"
#include "core/DatabaseInfoHelper.h"
#include "core/EntryKinds.h"
#include "core/FilesHelper.h"
#include "core/ItemActions.h"
#include "core/Localizer.h"
#include "core/LockManager.h"
#include "core/shared/PassFile.h"
#include "platform/NotificationNames.h"
#include "platform/Presenter.h"
#include "ui/AdvancedSearchDialog.h"
#include "ui/DetailPane.h"
#include "ui/DuplicatesDialog.h"
#include "ui/EntryEditorDialog.h"
#include "ui/EntryIcons.h"
#include "ui/EntryListModel.h"
#include "ui/StartView.h"
#include "ui/UiContext.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

namespace keskor {

namespace {

enum CopyField { CopyUser = 0, CopyPassword = 1, CopyUrl = 2 };

} // namespace

MainWindow::MainWindow(UiContext& ctx, QWidget* parent)
    : QMainWindow(parent), m_ctx(ctx), m_stack(new QStackedWidget(this)),
      m_startView(new StartView(ctx, this)), m_entries(new EntryListModel(ctx.localizer, this)) {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(t("app_name"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/keskor.svg")));
    m_stack->addWidget(m_startView);
    buildDatabaseView();
    setCentralWidget(m_stack);
    buildMenus();
    for (const StatusBarItem item : {StatusBarItem::Main, StatusBarItem::Selected,
                                     StatusBarItem::DBType, StatusBarItem::Total}) {
        auto* cell = new QLabel(this);
        cell->setObjectName(QStringLiteral("statusCell%1").arg(int(item)));
        statusBar()->addWidget(cell, item == StatusBarItem::Main ? 1 : 0);
        m_statusCells.insert(int(item), cell);
    }
    setStatusCell(StatusBarItem::Main, t("app_name"), false);
    connect(m_startView, &StartView::createRequested, this,
            [this] { openDialog(Dialogs::createDatabase); });
    connect(m_startView, &StartView::openRequested, this, &MainWindow::openDatabaseFile);
    connect(m_startView, &StartView::recentChosen, this, &MainWindow::openRecent);

    NotificationCenter& center = m_ctx.notifications;
    m_observers.push_back(
        center.observe(NotificationNames::SetStatusBar, [this](const QVariantMap& info) {
            setStatusCell(StatusBarItem(info.value(NotificationNames::StatusBarItemKey).toInt()),
                          info.value(NotificationNames::LabelKey).toString(),
                          info.value(NotificationNames::ShowLoadingKey).toBool());
        }));
    m_observers.push_back(
        center.observe(NotificationNames::SetLocationBar, [this](const QVariantMap&) {
            const SessionManager& s = m_ctx.app.mainManager().sessionManager;
            m_location->setText(s.currentDBInfo ? DatabaseInfoHelper::text(*s.currentDBInfo)
                                                : QString());
            rebuildRecentMenu();
            m_startView->refresh();
            // The session is filled after the window was asked to show the database.
            if (isShowingDatabase()) {
                refresh();
            }
        }));
    m_observers.push_back(center.observe(NotificationNames::EntryDidChanged,
                                         [this](const QVariantMap&) { refresh(); }));
    const QByteArray geometry = m_ctx.app.mainManager().storageManager.windowFrame();
    if (geometry.isEmpty() || !restoreGeometry(geometry)) {
        resize(1100, 700);
    }
    showStartView();
}

MainWindow::~MainWindow() {
    for (const NotificationCenter::Token token : m_observers) {
        m_ctx.notifications.removeObserver(token);
    }
}

QString MainWindow::t(const char* key) const {
    return m_ctx.localizer.text(QString::fromLatin1(key));
}

QAction* MainWindow::action(QMenu* menu, const char* textKey, const QKeySequence& shortcut,
                            std::function<void()> fn, const char* name) {
    QAction* a = menu->addAction(t(textKey));
    a->setObjectName(QString::fromLatin1(name));
    if (!shortcut.isEmpty()) {
        a->setShortcut(shortcut);
    }
    connect(a, &QAction::triggered, this, [fn = std::move(fn)] { fn(); });
    return a;
}

void MainWindow::buildMenus() {
    QMenu* file = menuBar()->addMenu(t("menu_file"));
    action(
        file, "menu_new_database", QKeySequence::New,
        [this] { openDialog(Dialogs::createDatabase); }, "newDatabaseAction");
    action(
        file, "menu_open_database", QKeySequence::Open, [this] { openDatabaseFile(); },
        "openDatabaseAction");
    QMenu* cloud = file->addMenu(t("menu_open_cloud"));
    cloud->menuAction()->setObjectName(QStringLiteral("openCloudMenu"));
    for (const Location location : {Location::oneDrive, Location::gDrive, Location::dropbox,
                                    Location::box, Location::hiDrive}) {
        QAction* a = cloud->addAction(
            m_ctx.localizer.text(CloudDBManagerViewController::titleKey(location)));
        a->setObjectName(QStringLiteral("openCloudAction%1").arg(Locations::raw(location)));
        connect(a, &QAction::triggered, this, [this, location] {
            m_ctx.presenter.openDialog(Dialogs::cloudDatabases,
                                       {{QStringLiteral("location"), Locations::raw(location)}});
        });
    }
    action(
        file, "menu_open_enterprise", {}, [this] { openDialog(Dialogs::enterpriseDatabases); },
        "openEnterpriseAction");
    m_recentMenu = file->addMenu(t("menu_recent"));
    file->addSeparator();
    m_databaseActions << action(
        file, "menu_save", QKeySequence::Save, [this] { m_ctx.app.databases().saveSession(true); },
        "saveAction");
    m_databaseActions << action(
        file, "save_as", QKeySequence::SaveAs, [this] { m_ctx.app.databases().saveAs(); },
        "saveAsAction");
    m_databaseActions << action(
        file, "menu_close_database", QKeySequence::Close,
        [this] { m_ctx.app.databases().closeDatabase(); }, "closeDatabaseAction");
    file->addSeparator();
    action(
        file, "menu_backups", {}, [this] { openDialog(Dialogs::backups); }, "backupsAction");
    m_databaseActions << action(
        file, "menu_export_xml", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E),
        [this] { openDialog(Dialogs::exportXml); }, "exportAction");
    m_databaseActions << action(
        file, "menu_print", QKeySequence::Print, [this] { openDialog(Dialogs::print); },
        "printAction");
    file->addSeparator();
    m_databaseActions << action(
        file, "menu_lock", QKeySequence(Qt::CTRL | Qt::Key_L),
        [this] { m_ctx.lock.lockFromStatusMenu(); }, "lockAction");
    action(
        file, "menu_quit", QKeySequence::Quit, [this] { close(); }, "quitAction");

    QMenu* edit = menuBar()->addMenu(t("menu_edit"));
    QMenu* add = edit->addMenu(t("menu_new_entry"));
    m_databaseActions << add->menuAction();
    bool first = true;
    for (const EntryKind& kind : EntryKinds::creatable()) {
        QAction* a =
            add->addAction(EntryIcons::ofType(int(kind.type)), m_ctx.localizer.text(kind.nameKey));
        a->setObjectName(QStringLiteral("newEntryAction%1").arg(int(kind.type)));
        if (first) {
            a->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
            first = false;
        }
        connect(a, &QAction::triggered, this, [this, type = int(kind.type)] { newEntry(type); });
    }
    m_databaseActions << action(
        edit, "menu_new_folder", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N),
        [this] { newFolder(); }, "newFolderAction");
    m_databaseActions << action(
        edit, "menu_edit_entry", QKeySequence(Qt::CTRL | Qt::Key_Return),
        [this] { editEntry(currentEntry()); }, "editEntryAction");
    m_databaseActions << action(
        edit, "menu_delete", QKeySequence::Delete, [this] { deleteSelection(); }, "deleteAction");
    m_databaseActions << action(
        edit, "menu_restore", {}, [this] { m_ctx.items.restoreItems(selectedEntries()); },
        "restoreAction");
    m_databaseActions << action(
        edit, "menu_toggle_favorite", QKeySequence(Qt::CTRL | Qt::Key_D),
        [this] {
            const auto items = selectedEntries();
            if (!items.empty()) {
                m_ctx.items.setFavorite(items, !items.front()->isFavorite);
            }
        },
        "favoriteAction");
    m_databaseActions << action(
        edit, "menu_empty_trash", {}, [this] { m_ctx.items.emptyTrash(); }, "emptyTrashAction");
    edit->addSeparator();
    m_databaseActions << action(
        edit, "menu_copy_username", QKeySequence(Qt::CTRL | Qt::Key_B),
        [this] { copyField(CopyUser); }, "copyUserAction");
    m_databaseActions << action(
        edit, "menu_copy_password", QKeySequence::Copy, [this] { copyField(CopyPassword); },
        "copyPasswordAction");
    m_databaseActions << action(
        edit, "menu_copy_url", QKeySequence(Qt::CTRL | Qt::Key_U), [this] { copyField(CopyUrl); },
        "copyUrlAction");
    m_databaseActions << action(
        edit, "menu_open_url", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_U),
        [this] { openUrl(); }, "openUrlAction");
    m_databaseActions << action(
        edit, "menu_autocomplete", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A),
        [this] {
            const std::shared_ptr<Info2Item> entry = currentEntry();
            if (entry && !entry->isFolder && autoComplete) {
                autoComplete(*entry);
            }
        },
        "autoCompleteAction");
    edit->addSeparator();
    m_databaseActions << action(
        edit, "menu_find", QKeySequence::Find,
        [this] {
            m_search->setFocus();
            m_search->selectAll();
        },
        "findAction");
    m_databaseActions << action(
        edit, "menu_find_replace", QKeySequence::Replace, [this] { openDialog(Dialogs::replace); },
        "replaceAction");
    m_databaseActions << action(
        edit, "menu_advanced_search", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F),
        [this] {
            AdvancedSearchDialog dialog(
                m_ctx, [this](const Info2Item& entry) { selectEntry(entry); }, this);
            dialog.exec();
        },
        "advancedSearchAction");

    QMenu* view = menuBar()->addMenu(t("menu_view"));
    QMenu* groupBy = view->addMenu(t("menu_group_by"));
    auto* groups = new QActionGroup(this);
    const LocalStorageManager& layout = m_ctx.app.mainManager().storageManager;
    for (const auto& [tag, key] :
         {std::pair{0, "group_none"}, std::pair{1, "group_type"}, std::pair{2, "group_category"}}) {
        QAction* a = groupBy->addAction(t(key));
        a->setCheckable(true);
        a->setData(tag);
        a->setChecked(int(layout.groupBy()) == tag);
        groups->addAction(a);
        connect(a, &QAction::triggered, this, [this, tag] {
            m_ctx.app.mainManager().storageManager.setGroupBy(GroupBy(tag));
            m_ctx.notifications.post(NotificationNames::SetGroupBy);
            rebuildNavigation();
        });
    }
    const auto area = [&](const char* key, int tag, bool shown, QWidget* widget,
                          void (LocalStorageManager::*setter)(bool)) {
        QAction* a = view->addAction(t(key));
        a->setCheckable(true);
        a->setData(tag);
        a->setChecked(shown);
        if (widget) {
            widget->setVisible(shown);
        }
        connect(a, &QAction::toggled, this, [this, widget, setter](bool on) {
            (m_ctx.app.mainManager().storageManager.*setter)(on);
            if (widget) {
                widget->setVisible(on);
            }
            m_ctx.notifications.post(NotificationNames::SetShowAreas);
        });
    };
    view->addSeparator();
    area("show_navigation", 101, layout.showNavigationArea(), m_navView,
         &LocalStorageManager::setShowNavigationArea);
    area("show_detail", 103, layout.showDetailArea(), m_detail,
         &LocalStorageManager::setShowDetailArea);
    area("show_status_bar", 104, layout.showStatusBar(), statusBar(),
         &LocalStorageManager::setShowStatusBar);

    QMenu* tools = menuBar()->addMenu(t("menu_tools"));
    action(
        tools, "menu_generator", QKeySequence(Qt::CTRL | Qt::Key_G),
        [this] { openDialog(Dialogs::generator); }, "generatorAction");
    action(
        tools, "key_gen", {}, [this] { openDialog(Dialogs::keyGenerator); }, "keyGeneratorAction");
    m_databaseActions << action(
        tools, "menu_partial_password", {},
        [this] {
            if (const auto entry = currentEntry()) {
                m_ctx.presenter.openDialog(Dialogs::partial,
                                           {{QStringLiteral("uuid"), entry->fingerprint()}});
            }
        },
        "partialAction");
    m_databaseActions << action(
        tools, "menu_analyze", {}, [this] { openDialog(Dialogs::analyze); }, "analyzeAction");
    m_databaseActions << action(
        tools, "menu_clean_up", {}, [this] { openDialog(Dialogs::cleanUp); }, "cleanUpAction");
    m_databaseActions << action(
        tools, "menu_duplicates", {},
        [this] {
            DuplicatesDialog dialog(
                m_ctx, [this](const Info2Item& entry) { selectEntry(entry); }, this);
            dialog.exec();
        },
        "duplicatesAction");
    tools->addSeparator();
    action(
        tools, "menu_settings", QKeySequence::Preferences,
        [this] { openDialog(Dialogs::settings); }, "settingsAction");

    QMenu* help = menuBar()->addMenu(t("menu_help"));
    action(
        help, "menu_about", {},
        [this] {
            m_ctx.presenter.alert(AlertStyle::informational,
                                  UiText::key(QStringLiteral("app_name")),
                                  UiText::key(QStringLiteral("about_text")), {});
        },
        "aboutAction");
    buildEntryMenu();
    rebuildRecentMenu();
}

void MainWindow::buildEntryMenu() {
    m_entryMenu = new QMenu(this);
    m_entryMenu->setObjectName(QStringLiteral("entryContextMenu"));
    action(
        m_entryMenu, "menu_edit_entry", {}, [this] { editEntry(currentEntry()); },
        "contextEditAction");
    m_entryMenu->addSeparator();
    const auto withEntry = [this](const QString& dialog) {
        return [this, dialog] {
            if (const auto entry = currentEntry()) {
                m_ctx.presenter.openDialog(dialog, {{QStringLiteral("uuid"), entry->fingerprint()}});
            }
        };
    };
    m_enterpriseActions << action(m_entryMenu, "menu_grant_access", {},
                                  withEntry(Dialogs::grantAccess), "grantAccessAction")
                        << action(m_entryMenu, "menu_revoke_access", {},
                                  withEntry(Dialogs::revokeAccess), "revokeAccessAction")
                        << action(m_entryMenu, "menu_sealed_access", {},
                                  withEntry(Dialogs::sealedAccess), "sealedAccessAction");
    // Access rights exist only on the server's databases.
    connect(m_entryMenu, &QMenu::aboutToShow, this, [this] {
        const PassFile* file = m_ctx.items.database();
        const auto entry = currentEntry();
        const bool enterprise = file && file->isEnterprise() && entry;
        // Permissions belong to entries; the list of one's grants is reachable from any row.
        for (QAction* a : std::as_const(m_enterpriseActions)) {
            a->setEnabled(enterprise && (a->objectName() == QLatin1String("revokeAccessAction") ||
                                         !entry->isFolder));
        }
    });
    m_entryView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_entryView, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (currentEntry()) {
            m_entryMenu->popup(m_entryView->viewport()->mapToGlobal(at));
        }
    });
}

void MainWindow::buildDatabaseView() {
    m_databaseView = new QWidget(this);
    m_databaseView->setObjectName(QStringLiteral("databaseView"));
    auto* layout = new QVBoxLayout(m_databaseView);
    auto* top = new QHBoxLayout;
    m_location = new QLabel(m_databaseView);
    m_location->setObjectName(QStringLiteral("locationBar"));
    m_location->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_search = new QLineEdit(m_databaseView);
    m_search->setObjectName(QStringLiteral("searchField"));
    m_search->setPlaceholderText(t("search_placeholder"));
    m_search->setClearButtonEnabled(true);
    m_search->setMaximumWidth(360);
    connect(m_search, &QLineEdit::textChanged, this, [this] { updateList(); });
    top->addWidget(m_location, 1);
    top->addWidget(m_search);
    layout->addLayout(top);

    auto* splitter = new QSplitter(m_databaseView);
    m_navModel = new QStandardItemModel(this);
    m_navView = new QTreeView(splitter);
    m_navView->setObjectName(QStringLiteral("navigationTree"));
    m_navView->setModel(m_navModel);
    m_navView->setHeaderHidden(true);
    m_navView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(m_navView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& index) {
                const NavigationNode* node = m_nodeOf.value(m_navModel->itemFromIndex(index));
                if (node) {
                    m_selectedNode = *node;
                    updateList();
                }
            });
    m_entryView = new QTreeView(splitter);
    m_entryView->setObjectName(QStringLiteral("entryList"));
    m_entryView->setModel(m_entries);
    m_entryView->setRootIsDecorated(false);
    m_entryView->setUniformRowHeights(true);
    m_entryView->setSortingEnabled(true);
    m_entryView->sortByColumn(0, Qt::AscendingOrder);
    m_entryView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_entryView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_entryView->header()->setStretchLastSection(true);
    m_entryView->setColumnWidth(0, 240);
    connect(m_entryView->header(), &QHeaderView::sortIndicatorChanged, this, [this] {
        m_searchBase.reset();
        m_lastSearch.clear();
        QTimer::singleShot(0, this, [this] { ensureSearchIndex(); });
    });
    connect(m_entryView, &QTreeView::activated, this,
            [this](const QModelIndex& index) { editEntry(m_entries->itemAt(index.row())); });
    connect(m_entryView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { updateStatus(); });
    m_detail = new DetailPane(m_ctx, splitter);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 3);
    splitter->setStretchFactor(2, 2);
    layout->addWidget(splitter, 1);
    m_stack->addWidget(m_databaseView);
}

void MainWindow::showDatabaseView() {
    m_stack->setCurrentWidget(m_databaseView);
    for (QAction* a : std::as_const(m_databaseActions)) {
        a->setEnabled(true);
    }
    const SessionManager& s = m_ctx.app.mainManager().sessionManager;
    m_location->setText(s.currentDBInfo ? DatabaseInfoHelper::text(*s.currentDBInfo) : QString());
    m_selectedNode = NavigationNode{NavigationNode::Kind::Database};
    m_search->clear();
    refresh();
}

void MainWindow::showStartView() {
    m_stack->setCurrentWidget(m_startView);
    for (QAction* a : std::as_const(m_databaseActions)) {
        a->setEnabled(false);
    }
    m_entries->setItems({});
    m_searchBase.reset();
    m_lastSearch.clear();
    m_lastResults.clear();
    m_detail->setEntry(nullptr);
    m_navModel->clear();
    m_nodeOf.clear();
    m_navigation.clear();
    m_startView->refresh();
    StatusManager& status = m_ctx.app.mainManager().statusManager;
    status.currentDB.reset();
    status.currentEntry.reset();
    status.currentFolder.reset();
    status.selectedCount = 0;
    for (QLabel* cell : std::as_const(m_statusCells)) {
        cell->clear();
    }
    setStatusCell(StatusBarItem::Main, t("app_name"), false);
}

bool MainWindow::isShowingDatabase() const {
    return m_stack->currentWidget() == m_databaseView;
}

void MainWindow::refresh() {
    m_searchBase.reset();
    m_lastSearch.clear();
    m_lastResults.clear();
    PassFile* file = m_ctx.items.database();
    if (!file) {
        return;
    }
    m_totalItems = file->itemCount();
    rebuildNavigation();
    updateList();
    // The search index is built once the window has been drawn, so the first keystroke finds
    // it ready.
    QTimer::singleShot(0, this, [this] { ensureSearchIndex(); });
}

void MainWindow::ensureSearchIndex() {
    const PassFile* file = m_ctx.items.database();
    if (m_searchBase || !file) {
        return;
    }
    EntryBrowser::Items all = EntryBrowser::allEntries(*file);
    m_entries->sortLikeList(all);
    m_searchBase.emplace(std::move(all));
}

void MainWindow::rebuildNavigation() {
    const PassFile* file = m_ctx.items.database();
    if (!file) {
        return;
    }
    const GroupBy groupBy = m_ctx.app.mainManager().storageManager.groupBy();
    m_navigation = EntryBrowser::navigation(*file, groupBy);
    const QSignalBlocker blocker(m_navView->selectionModel());
    m_navModel->clear();
    m_nodeOf.clear();
    QStandardItem* current = nullptr;
    // Each item gets its children before it joins the model: inserting into a live model
    // makes the view lay itself out again for every row.
    const std::function<QStandardItem*(const NavigationNode&)> make =
        [&](const NavigationNode& node) {
            QString title;
            QIcon icon;
            switch (node.kind) {
            case NavigationNode::Kind::Favorites:
                title = t("nav_favorites");
                icon = QIcon::fromTheme(QStringLiteral("starred"));
                break;
            case NavigationNode::Kind::Database:
                title = m_ctx.app.mainManager().sessionManager.currentDBInfo
                            ? m_ctx.app.mainManager().sessionManager.currentDBInfo->name
                            : t("nav_database");
                icon = EntryIcons::ofType(0);
                break;
            case NavigationNode::Kind::Folder:
                title = node.folder->description().left(200);
                icon = EntryIcons::of(*node.folder);
                break;
            case NavigationNode::Kind::Trash:
                title = t("nav_trash");
                icon = QIcon::fromTheme(QStringLiteral("user-trash"));
                break;
            case NavigationNode::Kind::TypeGroup:
                title = m_ctx.localizer.text(EntryKinds::ofRaw(node.type).nameKey);
                icon = EntryIcons::ofType(node.type);
                break;
            case NavigationNode::Kind::CategoryGroup:
                title = node.category.isEmpty() ? t("nav_no_category") : node.category.left(200);
                break;
            }
            auto* item =
                new QStandardItem(icon, QStringLiteral("%1 (%2)").arg(title).arg(node.count));
            m_nodeOf.insert(item, &node);
            if (node.sameNode(m_selectedNode)) {
                current = item;
            }
            QList<QStandardItem*> children;
            for (const NavigationNode& child : node.children) {
                children.append(make(child));
            }
            if (!children.isEmpty()) {
                item->appendRows(children);
            }
            return item;
        };
    QList<QStandardItem*> top;
    for (const NavigationNode& node : m_navigation) {
        top.append(make(node));
    }
    m_navModel->invisibleRootItem()->appendRows(top);
    m_navView->expandToDepth(0);
    if (!current) {
        m_selectedNode = NavigationNode{NavigationNode::Kind::Database};
        current = m_navModel->item(1);
    }
    if (current) {
        m_navView->setCurrentIndex(current->index());
    }
}

void MainWindow::updateList() {
    const PassFile* file = m_ctx.items.database();
    if (!file) {
        return;
    }
    const std::shared_ptr<Info2Item> previous = currentEntry();
    const QString search = m_search->text().trimmed();
    if (search.isEmpty() || m_selectedNode.kind == NavigationNode::Kind::Trash) {
        m_lastSearch.clear();
        m_lastResults.clear();
        m_entries->setItems(EntryBrowser::entries(*file, m_selectedNode, search));
    } else {
        ensureSearchIndex();
        const bool narrower =
            !m_lastSearch.isEmpty() && search.contains(m_lastSearch, Qt::CaseInsensitive);
        m_lastResults = m_searchBase->find(search, narrower ? &m_lastResults : nullptr);
        m_lastSearch = search;
        m_entries->setItems(m_searchBase->itemsAt(m_lastResults), true);
    }
    const int row = previous ? m_entries->rowOf(previous.get()) : -1;
    if (row >= 0) {
        m_entryView->setCurrentIndex(m_entries->index(row, 0));
    } else if (m_entries->rowCount() > 0) {
        m_entryView->setCurrentIndex(m_entries->index(0, 0));
    }
    updateStatus();
}

void MainWindow::updateStatus() {
    StatusManager& status = m_ctx.app.mainManager().statusManager;
    const SessionManager& session = m_ctx.app.mainManager().sessionManager;
    status.currentDB = session.currentDBInfo;
    status.currentEntry = currentEntry();
    status.currentFolder = m_selectedNode.folder;
    status.selectedCount = int(selectedEntries().size());
    m_detail->setEntry(status.currentEntry);
    if (session.currentPassFile) {
        setStatusCell(StatusBarItem::Selected,
                      QStringLiteral("%1 %2").arg(status.selectedCount).arg(t("status_selected")),
                      false);
        setStatusCell(StatusBarItem::DBType,
                      session.currentPassFile->isEnterprise() ? t("status_enterprise")
                      : session.currentPassFile->fileType() == PassFile::FileType::Zip
                          ? QStringLiteral("pswe")
                          : QStringLiteral("pswd"),
                      false);
        setStatusCell(StatusBarItem::Total,
                      QStringLiteral("%1 / %2").arg(m_entries->rowCount()).arg(m_totalItems),
                      false);
    }
}

void MainWindow::setStatusCell(StatusBarItem item, const QString& text, bool loading) {
    if (QLabel* cell = m_statusCells.value(int(item))) {
        cell->setText(loading ? text + QStringLiteral(" …") : text);
    }
}

void MainWindow::rebuildRecentMenu() {
    m_recentMenu->clear();
    const QList<DatabaseInfo> recent = m_ctx.app.mainManager().recentFilesManager.recentFiles();
    for (const DatabaseInfo& info : recent) {
        QAction* a = m_recentMenu->addAction(DatabaseInfoHelper::text(info));
        connect(a, &QAction::triggered, this, [this, info] { openRecent(info); });
    }
    m_recentMenu->setEnabled(!recent.isEmpty());
}

void MainWindow::openDatabaseFile() {
    const std::optional<QString> path = m_ctx.presenter.chooseFileToOpen(
        UiText::key(QStringLiteral("menu_open_database")), FilesHelper::saveExtensions());
    if (!path) {
        return;
    }
    if (m_ctx.items.database() && !m_ctx.app.databases().closeDatabase()) {
        return;
    }
    m_ctx.app.databases().openDatabase(DatabaseInfoHelper::localFile(*path));
}

void MainWindow::openRecent(const DatabaseInfo& info) {
    if (m_ctx.items.database() && !m_ctx.app.databases().closeDatabase()) {
        return;
    }
    m_ctx.app.databases().openDatabase(info);
}

Info2Item* MainWindow::selectedFolder() const {
    if (m_selectedNode.kind == NavigationNode::Kind::Folder && m_selectedNode.folder) {
        return m_selectedNode.folder.get();
    }
    PassFile* file = m_ctx.items.database();
    return file ? &file->root() : nullptr;
}

std::shared_ptr<Info2Item> MainWindow::currentEntry() const {
    const QModelIndex index = m_entryView->currentIndex();
    return index.isValid() ? m_entries->itemAt(index.row()) : nullptr;
}

std::vector<std::shared_ptr<Info2Item>> MainWindow::selectedEntries() const {
    std::vector<std::shared_ptr<Info2Item>> items;
    for (const QModelIndex& index : m_entryView->selectionModel()->selectedRows()) {
        if (auto item = m_entries->itemAt(index.row())) {
            items.push_back(std::move(item));
        }
    }
    if (items.empty()) {
        if (auto item = currentEntry()) {
            items.push_back(std::move(item));
        }
    }
    return items;
}

void MainWindow::selectEntry(const Info2Item& entry) {
    Info2Item* parent = entry.parent();
    PassFile* file = m_ctx.items.database();
    if (!file || !parent) {
        return;
    }
    m_search->clear();
    m_selectedNode = NavigationNode{NavigationNode::Kind::Database};
    if (parent != &file->root()) {
        m_selectedNode.kind = NavigationNode::Kind::Folder;
        m_selectedNode.folder = file->findItem(parent->fingerprint());
    }
    refresh();
    const int row = m_entries->rowOf(&entry);
    if (row >= 0) {
        m_entryView->setCurrentIndex(m_entries->index(row, 0));
    }
}

void MainWindow::editEntry(std::shared_ptr<Info2Item> entry) {
    if (!entry) {
        return;
    }
    if (entry->isFolder) {
        return;
    }
    m_ctx.presenter.openDialog(Dialogs::editEntry, {{QStringLiteral("uuid"), entry->fingerprint()}});
}

void MainWindow::newEntry(int type) {
    Info2Item* folder = selectedFolder();
    if (!folder) {
        return;
    }
    m_ctx.presenter.openDialog(Dialogs::editEntry, {{QStringLiteral("newType"), type}});
}

void MainWindow::newFolder() {
    Info2Item* folder = selectedFolder();
    if (!folder) {
        return;
    }
    bool ok = false;
    const QString name = QInputDialog::getText(this, t("menu_new_folder"), t("folder_name"),
                                               QLineEdit::Normal, QString(), &ok);
    if (ok && !name.trimmed().isEmpty()) {
        m_ctx.items.addItem(Info2Item::createFolder(name.trimmed()), *folder);
    }
}

void MainWindow::deleteSelection() {
    std::vector<std::shared_ptr<Info2Item>> items = selectedEntries();
    if (items.empty() && m_selectedNode.kind == NavigationNode::Kind::Folder &&
        m_navView->hasFocus()) {
        items.push_back(m_selectedNode.folder);
    }
    if (items.empty()) {
        return;
    }
    if (m_ctx.presenter.alert(AlertStyle::warning, UiText::key(QStringLiteral("dialog_confirm")),
                              UiText::key(QStringLiteral("want_to_delete_selected_items")),
                              {UiText::key(QStringLiteral("dialog_yes")),
                               UiText::key(QStringLiteral("dialog_no"))}) == 0) {
        m_ctx.items.deleteItems(items);
    }
}

void MainWindow::copyField(int field) {
    const std::shared_ptr<Info2Item> entry = currentEntry();
    if (!entry) {
        return;
    }
    const ItemText text = field == CopyUser       ? ItemText::UserName
                          : field == CopyPassword ? ItemText::Password
                                                  : ItemText::Url;
    if (const std::optional<QString> value = entry->text(text)) {
        m_ctx.clipboard.copyToClipboard(*value, true);
    }
}

void MainWindow::openUrl() {
    const std::shared_ptr<Info2Item> entry = currentEntry();
    if (entry && openEntryUrl) {
        openEntryUrl(*entry);
        return;
    }
    const std::optional<QString> url = entry ? entry->text(ItemText::Url) : std::nullopt;
    if (url && !url->isEmpty()) {
        QDesktopServices::openUrl(QUrl::fromUserInput(*url));
    }
}

void MainWindow::openDialog(const QString& id) {
    m_ctx.presenter.openDialog(id, {});
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (shouldClose && !shouldClose()) {
        event->ignore();
        return;
    }
    m_ctx.app.mainManager().storageManager.setWindowFrame(saveGeometry());
    event->accept();
}

} // namespace keskor
