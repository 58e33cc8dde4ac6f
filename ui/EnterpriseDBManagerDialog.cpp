#include "ui/EnterpriseDBManagerDialog.h"

#include "core/RemoteFileInfo.h"
#include "ui/UiContext.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace keskor {

EnterpriseDBManagerDialog::EnterpriseDBManagerDialog(
    UiContext& ctx, EnterpriseStorage& storage, EnterpriseDBManagerViewController::Opener opener,
    QWidget* parent)
    : QDialog(parent), m_controller(storage, ctx.presenter, std::move(opener)),
      m_login(new QToolButton(this)),
      m_logout(new QPushButton(ctx.text(QStringLiteral("enterprise_logout")), this)),
      m_refresh(new QPushButton(ctx.text(QStringLiteral("cloud_refresh")), this)),
      m_model(new QStandardItemModel(0, 2, this)), m_table(new QTableView(this)),
      m_fileName(new QLineEdit(this)),
      m_open(new QPushButton(ctx.text(QStringLiteral("cloud_open")), this)) {
    setObjectName(QStringLiteral("enterpriseDBManagerDialog"));
    setWindowTitle(ctx.text(QStringLiteral("enterprise_databases_title")));
    m_login->setObjectName(QStringLiteral("loginButton"));
    m_login->setText(ctx.text(QStringLiteral("enterprise_login")));
    m_login->setPopupMode(QToolButton::InstantPopup);
    auto* menu = new QMenu(m_login);
    QAction* standard = menu->addAction(ctx.text(QStringLiteral("enterprise_login_standard")));
    QAction* azure = menu->addAction(ctx.text(QStringLiteral("enterprise_login_azure")));
    standard->setObjectName(QStringLiteral("loginStandardAction"));
    azure->setObjectName(QStringLiteral("loginAzureAction"));
    m_login->setMenu(menu);
    m_logout->setObjectName(QStringLiteral("logoutButton"));
    m_refresh->setObjectName(QStringLiteral("refreshButton"));
    for (QPushButton* b : {m_logout, m_refresh, m_open}) {
        b->setAutoDefault(false);
    }
    m_open->setObjectName(QStringLiteral("openButton"));
    m_open->setDefault(true);
    m_model->setHorizontalHeaderLabels({ctx.text(EnterpriseDBManagerViewController::nameColumn),
                                        ctx.text(EnterpriseDBManagerViewController::rightsColumn)});
    m_table->setObjectName(QStringLiteral("dblistTableView"));
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_table->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_fileName->setObjectName(QStringLiteral("fileNameField"));
    m_fileName->setReadOnly(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(ctx.text(QStringLiteral("dialog_close")));
    buttons->button(QDialogButtonBox::Close)->setAutoDefault(false);

    auto* top = new QHBoxLayout;
    top->addWidget(m_login);
    top->addWidget(m_logout);
    top->addStretch(1);
    top->addWidget(m_refresh);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_fileName, 1);
    bottom->addWidget(m_open);
    bottom->addWidget(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_table, 1);
    layout->addLayout(bottom);

    connect(standard, &QAction::triggered, this, [this] { m_controller.onLoginMenu(0); });
    connect(azure, &QAction::triggered, this, [this] { m_controller.onLoginMenu(1); });
    connect(m_logout, &QPushButton::clicked, this, [this] { m_controller.logout(); });
    connect(m_refresh, &QPushButton::clicked, this, [this] { m_controller.refresh(); });
    connect(m_open, &QPushButton::clicked, this, [this] { m_controller.open(); });
    connect(m_table, &QTableView::doubleClicked, this, [this] { m_controller.open(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) { m_controller.setSelectedRow(current.row()); });
    m_controller.setView({[this] { showFiles(); }, [this] { accept(); }});
    resize(560, 380);
    m_controller.start();
}

void EnterpriseDBManagerDialog::showFiles() {
    QStringList paths;
    for (const std::shared_ptr<RemoteFileInfo>& file : m_controller.dbList()) {
        paths.append(file->path);
    }
    // Selecting a row reloads too; only a new list rebuilds the table (and its selection).
    if (paths != m_shownPaths) {
        m_shownPaths = paths;
        const QSignalBlocker blocker(m_table->selectionModel());
        m_model->removeRows(0, m_model->rowCount());
        for (const std::shared_ptr<RemoteFileInfo>& file : m_controller.dbList()) {
            auto* name = new QStandardItem(file->name);
            name->setToolTip(file->path);
            m_model->appendRow(
                {name, new QStandardItem(EnterpriseDBManagerViewController::rightsText(*file))});
        }
    }
    showControls();
}

void EnterpriseDBManagerDialog::showControls() {
    const EnterpriseDBManagerViewController::Controls c = m_controller.controls();
    m_login->setEnabled(c.login);
    m_logout->setEnabled(c.logout);
    m_refresh->setEnabled(c.refresh);
    m_open->setEnabled(c.open);
    m_fileName->setText(m_controller.fileName());
}

} // namespace keskor
