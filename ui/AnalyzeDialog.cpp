#include "ui/AnalyzeDialog.h"

#include "core/ItemActions.h"
#include "core/Localizer.h"
#include "core/shared/DateTimeHelper.h"
#include "platform/Clock.h"
#include "platform/NotificationCenter.h"
#include "platform/NotificationNames.h"
#include "platform/Presenter.h"
#include "ui/AnalyzeTableModel.h"
#include "ui/UiContext.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace keskor {

AnalyzeDialog::AnalyzeDialog(UiContext& ctx, QWidget* parent)
    : QDialog(parent), m_ctx(ctx),
      m_controller(
          ctx.presenter, ctx.text, [&ctx] { return ctx.items.database(); },
          [&ctx] { return DateTimeHelper::toDelphiTime(ctx.clock.now()); }),
      m_check(ctx.pwned), m_model(new AnalyzeTableModel(m_controller, ctx.text, this)),
      m_table(new QTableView(this)), m_status(new QLabel(this)),
      m_editButton(new QPushButton(ctx.text(QStringLiteral("menu_edit_entry")), this)),
      m_checkButton(new QPushButton(ctx.text(QStringLiteral("analyze_check_breaches")), this)) {
    setObjectName(QStringLiteral("analyzeDialog"));
    setWindowTitle(ctx.text(QStringLiteral("analyze_title")));
    m_table->setObjectName(QStringLiteral("resultTable"));
    m_status->setObjectName(QStringLiteral("breachStatusLabel"));
    m_editButton->setObjectName(QStringLiteral("editButton"));
    m_checkButton->setObjectName(QStringLiteral("checkBreachesButton"));
    m_editButton->setAutoDefault(false);
    m_checkButton->setAutoDefault(false);

    m_controller.reload();
    m_model->rowsChanged();
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->horizontalHeader()->setSectionResizeMode(AnalyzeTableModel::Description,
                                                      QHeaderView::Stretch);
    // Weakest first; enabling the sorting sorts by the indicator at once.
    m_table->horizontalHeader()->setSortIndicator(AnalyzeTableModel::Entropy, Qt::AscendingOrder);
    m_table->setSortingEnabled(true);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* close = buttons->addButton(QDialogButtonBox::Close);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setText(ctx.text(QStringLiteral("dialog_close")));
    auto* actions = new QHBoxLayout;
    actions->addWidget(m_editButton);
    actions->addWidget(m_checkButton);
    actions->addWidget(m_status, 1);
    actions->addWidget(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    layout->addLayout(actions);

    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_editButton, &QPushButton::clicked, this, &AnalyzeDialog::edit);
    connect(m_table, &QTableView::doubleClicked, this, &AnalyzeDialog::edit);
    connect(m_checkButton, &QPushButton::clicked, this, &AnalyzeDialog::checkBreaches);
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &AnalyzeDialog::updateButtons);
    connect(m_model, &QAbstractItemModel::modelReset, this, &AnalyzeDialog::updateButtons);
    // An edit may change or remove a password: the list is built again (sorted as before).
    m_observer =
        ctx.notifications.observe(NotificationNames::EntryDidChanged, [this](const QVariantMap&) {
            m_controller.onEntryChanged();
            m_model->rowsChanged();
        });
    setTabOrder(m_table, m_editButton);
    setTabOrder(m_editButton, m_checkButton);
    setTabOrder(m_checkButton, close);
    updateButtons();
    resize(760, 520);
}

AnalyzeDialog::~AnalyzeDialog() {
    m_ctx.notifications.removeObserver(m_observer);
}

void AnalyzeDialog::updateButtons() {
    m_editButton->setEnabled(m_table->selectionModel()->hasSelection());
    m_checkButton->setEnabled(!m_check.isRunning() && m_model->rowCount() > 0);
}

void AnalyzeDialog::edit() {
    const QModelIndexList rows = m_table->selectionModel()->selectedRows();
    if (!rows.isEmpty()) {
        m_controller.onEdit(rows.first().row());
    }
}

void AnalyzeDialog::checkBreaches() {
    if (m_check.isRunning()) {
        return;
    }
    m_status->setText(m_ctx.text(QStringLiteral("pwned_checking")));
    m_check.start(
        m_model->digests(),
        [this](const BreachCheck::Counts& counts) {
            m_model->setBreachCounts(counts);
            qsizetype breached = 0;
            for (const QString& digest : m_model->digests()) {
                breached += counts.value(digest) > 0 ? 1 : 0;
            }
            m_status->setText(m_ctx.localizer.text(
                QStringLiteral("analyze_breached_summary"),
                {QString::number(breached), QString::number(m_model->rowCount())}));
            updateButtons();
        },
        [this](const UiText& message) {
            m_status->clear();
            updateButtons();
            m_ctx.presenter.alert(AlertStyle::critical, UiText::key(QStringLiteral("dialog_error")),
                                  message, {});
        });
    updateButtons();
}

} // namespace keskor
