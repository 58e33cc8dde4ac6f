#include "ui/BackupManagerDialog.h"

#include "core/AppDelegate.h"
#include "core/Localizer.h"
#include "platform/NotificationCenter.h"
#include "platform/NotificationNames.h"
#include "ui/UiContext.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace keskor {

namespace {

enum Column { NameColumn, SizeColumn, ModifiedColumn, ColumnCount };

BackupStorage::SortKey sortKeyOf(int column) {
    switch (column) {
    case NameColumn:
        return BackupStorage::SortKey::name;
    case SizeColumn:
        return BackupStorage::SortKey::size;
    default:
        return BackupStorage::SortKey::modified;
    }
}

} // namespace

BackupManagerDialog::BackupManagerDialog(UiContext& ctx, QWidget* parent)
    : QDialog(parent), m_ctx(ctx),
      m_controller({ctx.app.paths(), ctx.app.backups(), ctx.app.databases(),
                    ctx.app.mainManager().sessionManager, ctx.presenter, ctx.text}),
      m_model(new QStandardItemModel(0, ColumnCount, this)), m_table(new QTableView(this)),
      m_folder(new QLabel(this)),
      m_open(new QPushButton(ctx.text(QStringLiteral("backup_open")), this)),
      m_restore(new QPushButton(ctx.text(QStringLiteral("backup_restore")), this)),
      m_delete(new QPushButton(ctx.text(QStringLiteral("backup_delete")), this)) {
    setObjectName(QStringLiteral("backupManagerDialog"));
    setWindowTitle(ctx.text(QStringLiteral("backup_title")));
    m_table->setObjectName(QStringLiteral("backupTable"));
    m_open->setObjectName(QStringLiteral("openButton"));
    m_restore->setObjectName(QStringLiteral("restoreButton"));
    m_delete->setObjectName(QStringLiteral("deleteButton"));
    m_folder->setObjectName(QStringLiteral("folderLabel"));
    m_folder->setText(QDir::toNativeSeparators(ctx.app.backups().root()));
    m_folder->setTextInteractionFlags(Qt::TextSelectableByMouse);
    for (QPushButton* b : {m_open, m_restore, m_delete}) {
        b->setAutoDefault(false);
    }
    m_model->setHorizontalHeaderLabels({ctx.text(QStringLiteral("backup_column_name")),
                                        ctx.text(QStringLiteral("backup_column_size")),
                                        ctx.text(QStringLiteral("column_modified"))});
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    QHeaderView* header = m_table->horizontalHeader();
    header->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(ModifiedColumn, Qt::DescendingOrder);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* close = buttons->addButton(QDialogButtonBox::Close);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setText(ctx.text(QStringLiteral("dialog_close")));
    auto* actions = new QHBoxLayout;
    actions->addWidget(m_open);
    actions->addWidget(m_restore);
    actions->addWidget(m_delete);
    actions->addStretch(1);
    actions->addWidget(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_folder);
    layout->addWidget(m_table, 1);
    layout->addLayout(actions);

    connect(header, &QHeaderView::sortIndicatorChanged, this,
            [this](int column, Qt::SortOrder order) {
                m_controller.sort(sortKeyOf(column), order);
                showBackups();
            });
    connect(m_open, &QPushButton::clicked, this, [this] {
        if (m_controller.onOpen(currentRow())) {
            accept();
        }
    });
    connect(m_table, &QTableView::doubleClicked, m_open, &QPushButton::click);
    connect(m_restore, &QPushButton::clicked, this, [this] {
        if (m_controller.onRestore(currentRow())) {
            // The session holds the restored database: the window shows it anew.
            m_ctx.notifications.post(NotificationNames::EntryDidChanged);
        }
        showBackups();
    });
    connect(m_delete, &QPushButton::clicked, this, [this] {
        m_controller.onDelete(currentRow());
        showBackups();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &BackupManagerDialog::updateButtons);
    setTabOrder(m_table, m_open);
    setTabOrder(m_open, m_restore);
    setTabOrder(m_restore, m_delete);
    setTabOrder(m_delete, close);

    m_controller.reload();
    showBackups();
    resize(640, 420);
}

int BackupManagerDialog::currentRow() const {
    const QModelIndexList rows = m_table->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void BackupManagerDialog::showBackups() {
    m_model->removeRows(0, m_model->rowCount());
    const QLocale locale;
    for (const BackupFileInfo& backup : m_controller.backups()) {
        auto* name = new QStandardItem(backup.name);
        name->setToolTip(QDir::toNativeSeparators(backup.path.toLocalFile()));
        auto* size = new QStandardItem(backup.sizeString(locale));
        size->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_model->appendRow({name, size, new QStandardItem(backup.modifiedString(locale))});
    }
    if (m_model->rowCount() > 0) {
        m_table->selectRow(0);
    }
    updateButtons();
}

void BackupManagerDialog::updateButtons() {
    const bool chosen = currentRow() >= 0;
    m_open->setEnabled(chosen);
    m_restore->setEnabled(chosen && m_controller.canRestore());
    m_delete->setEnabled(chosen);
}

} // namespace keskor
