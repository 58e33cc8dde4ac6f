#include "ui/RevokeAccessDialog.h"

#include "ui/UiContext.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace keskor {

RevokeAccessDialog::RevokeAccessDialog(UiContext& ctx, EnterpriseStorage& storage,
                                       const PassFile& database, QWidget* parent)
    : QDialog(parent), m_controller(storage, ctx.presenter, database),
      m_table(new QTableWidget(this)),
      m_revoke(new QPushButton(ctx.text(QStringLiteral("revoke_button")), this)) {
    setObjectName(QStringLiteral("revokeAccessDialog"));
    setWindowTitle(ctx.text(QStringLiteral("revoke_access_title")));
    QStringList headers;
    for (const QString& column : RevokeAccessViewController::columns) {
        headers.append(ctx.text(column));
    }
    m_table->setObjectName(QStringLiteral("permissionTable"));
    m_table->setColumnCount(int(headers.size()));
    m_table->setHorizontalHeaderLabels(headers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_revoke->setObjectName(QStringLiteral("revokeButton"));
    m_revoke->setAutoDefault(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setText(ctx.text(QStringLiteral("dialog_close")));
    buttons->addButton(m_revoke, QDialogButtonBox::ActionRole);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    layout->addWidget(buttons);
    connect(m_table, &QTableWidget::itemSelectionChanged, this, [this] {
        const QList<QTableWidgetItem*> selected = m_table->selectedItems();
        m_controller.setSelectedRow(selected.isEmpty() ? -1 : selected.front()->row());
        m_revoke->setEnabled(m_controller.canRevoke());
    });
    connect(m_revoke, &QPushButton::clicked, this, [this] { m_controller.revoke(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_controller.setView({[this] { showRows(); }});
    showRows();
    resize(680, 360);
}

void RevokeAccessDialog::showRows() {
    const QSignalBlocker blocker(m_table);
    m_table->clearContents();
    m_table->setRowCount(m_controller.revokeItems().size());
    for (int row = 0; row < m_controller.revokeItems().size(); ++row) {
        const QStringList texts = m_controller.rowTexts(row);
        for (int column = 0; column < texts.size(); ++column) {
            m_table->setItem(row, column, new QTableWidgetItem(texts[column]));
        }
    }
    m_controller.setSelectedRow(-1);
    m_revoke->setEnabled(m_controller.canRevoke());
}

} // namespace keskor
