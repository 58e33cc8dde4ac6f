#include "ui/CloudDBManagerDialog.h"

#include "ui/UiContext.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

namespace keskor {

namespace {

enum Column { NameColumn, ModifiedColumn, SizeColumn, ColumnCount };

CloudDBManagerViewController::SortKey sortKeyOf(int column) {
    switch (column) {
    case ModifiedColumn:
        return CloudDBManagerViewController::SortKey::modified;
    case SizeColumn:
        return CloudDBManagerViewController::SortKey::size;
    default:
        return CloudDBManagerViewController::SortKey::name;
    }
}

QPushButton* button(const QString& text, const QString& name, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

} // namespace

CloudDBManagerDialog::CloudDBManagerDialog(UiContext& ctx, IRemoteStorage& storage,
                                           Location location,
                                           CloudDBManagerViewControllerDelegate& delegate,
                                           QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_controller(storage, location, ctx.presenter, ctx.text),
      m_title(new QLabel(this)), m_signIn(button(ctx.text(QStringLiteral("cloud_sign_in")),
                                                 QStringLiteral("signInButton"), this)),
      m_signOut(button(ctx.text(QStringLiteral("cloud_sign_out")), QStringLiteral("signOutButton"),
                       this)),
      m_refresh(
          button(ctx.text(QStringLiteral("cloud_refresh")), QStringLiteral("refreshButton"), this)),
      m_new(button(ctx.text(QStringLiteral("cloud_new_database")),
                   QStringLiteral("newDatabaseButton"), this)),
      m_delete(
          button(ctx.text(QStringLiteral("cloud_delete")), QStringLiteral("deleteButton"), this)),
      m_model(new QStandardItemModel(0, ColumnCount, this)), m_table(new QTableView(this)),
      m_fileName(new QLineEdit(this)),
      m_open(button(ctx.text(QStringLiteral("cloud_open")), QStringLiteral("openButton"), this)) {
    setObjectName(QStringLiteral("cloudDBManagerDialog"));
    const QString title = m_controller.title();
    setWindowTitle(title.isEmpty() ? ctx.text(QStringLiteral("cloud_title")) : title);
    m_title->setObjectName(QStringLiteral("titleLabel"));
    m_title->setText(title);
    QFont bold = m_title->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.25);
    m_title->setFont(bold);

    m_model->setHorizontalHeaderLabels({ctx.text(QStringLiteral("cloud_column_name")),
                                        ctx.text(QStringLiteral("column_modified")),
                                        ctx.text(QStringLiteral("cloud_column_size"))});
    m_table->setObjectName(QStringLiteral("dblistTableView"));
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    QHeaderView* header = m_table->horizontalHeader();
    m_table->setWordWrap(false);
    header->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    header->setSectionResizeMode(ModifiedColumn, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(SizeColumn, QHeaderView::ResizeToContents);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);

    m_fileName->setObjectName(QStringLiteral("fileNameField"));
    m_fileName->setReadOnly(true);
    auto* fileNameLabel = new QLabel(ctx.text(QStringLiteral("cloud_file_name")), this);
    fileNameLabel->setBuddy(m_fileName);
    m_open->setDefault(true);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* close = buttons->addButton(QDialogButtonBox::Close);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setText(ctx.text(QStringLiteral("dialog_close")));
    close->setAutoDefault(false);

    auto* top = new QHBoxLayout;
    top->addWidget(m_title, 1);
    top->addWidget(m_signIn);
    top->addWidget(m_signOut);
    auto* tools = new QHBoxLayout;
    tools->addWidget(m_refresh);
    tools->addWidget(m_new);
    tools->addWidget(m_delete);
    tools->addStretch(1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(fileNameLabel);
    bottom->addWidget(m_fileName, 1);
    bottom->addWidget(m_open);
    bottom->addWidget(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(tools);
    layout->addWidget(m_table, 1);
    layout->addLayout(bottom);

    setTabOrder(m_signIn, m_signOut);
    setTabOrder(m_signOut, m_refresh);
    setTabOrder(m_refresh, m_new);
    setTabOrder(m_new, m_delete);
    setTabOrder(m_delete, m_table);
    setTabOrder(m_table, m_fileName);
    setTabOrder(m_fileName, m_open);
    setTabOrder(m_open, close);

    connect(m_signIn, &QPushButton::clicked, this, [this] { m_controller.onLoginSegment(0); });
    connect(m_signOut, &QPushButton::clicked, this, [this] { m_controller.onLoginSegment(1); });
    connect(m_refresh, &QPushButton::clicked, this, [this] { m_controller.onToolSegment(0); });
    connect(m_new, &QPushButton::clicked, this, [this] { m_controller.onToolSegment(1); });
    connect(m_delete, &QPushButton::clicked, this, [this] { m_controller.onToolSegment(2); });
    connect(m_open, &QPushButton::clicked, this, [this] { m_controller.open(); });
    connect(m_table, &QTableView::doubleClicked, this, [this] { m_controller.open(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(header, &QHeaderView::sortIndicatorChanged, this,
            [this](int column, Qt::SortOrder order) {
                if (column >= 0) {
                    m_controller.sort(sortKeyOf(column), order);
                }
            });
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CloudDBManagerDialog::selectionChanged);

    m_controller.setDelegate(&delegate);
    m_controller.setView({[this] { showFiles(); }, [this] { accept(); }});
    resize(640, 420);
    showControls();
    m_controller.start();
}

void CloudDBManagerDialog::showFiles() {
    const QSignalBlocker blocker(m_table->selectionModel());
    m_model->removeRows(0, m_model->rowCount());
    for (const std::shared_ptr<RemoteFileInfo>& file : m_controller.dbList()) {
        auto* name = new QStandardItem(file->name);
        name->setToolTip(file->path);
        auto* size = new QStandardItem(file->sizeString(m_ctx.text));
        size->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_model->appendRow({name, new QStandardItem(file->modifiedString()), size});
    }
    m_table->clearSelection();
    showControls();
}

void CloudDBManagerDialog::showControls() {
    const CloudDBManagerViewController::Controls& c = m_controller.controls();
    m_signIn->setEnabled(c.signIn);
    m_signOut->setEnabled(c.signOut);
    m_refresh->setEnabled(c.refresh);
    m_new->setEnabled(c.newDatabase);
    m_delete->setEnabled(c.deleteFiles);
    m_open->setEnabled(c.open);
    m_fileName->setText(m_controller.fileName());
}

void CloudDBManagerDialog::selectionChanged() {
    QList<int> rows;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows()) {
        rows.append(index.row());
    }
    std::sort(rows.begin(), rows.end());
    // The row the user touched last is the one the actions use.
    const int current = m_table->currentIndex().row();
    if (rows.removeOne(current)) {
        rows.append(current);
    }
    m_controller.setSelectedRows(rows);
    showControls();
}

} // namespace keskor
