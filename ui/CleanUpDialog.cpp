#include "ui/CleanUpDialog.h"

#include "core/AppDelegate.h"
#include "core/ItemActions.h"
#include "platform/NotificationCenter.h"
#include "platform/NotificationNames.h"
#include "ui/CheckableEntryModel.h"
#include "ui/UiContext.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>
#include <limits>

namespace keskor {

CleanUpDialog::CleanUpDialog(UiContext& ctx, QWidget* parent)
    : QDialog(parent), m_controller(
                           ctx.presenter, ctx.text, [&ctx] { return ctx.items.database(); },
                           [&ctx] {
                               ctx.app.databases().saveSession(false);
                               ctx.notifications.post(NotificationNames::EntryDidChanged);
                           }),
      m_model(new CheckableEntryModel(
          ctx.text,
          [this](int row, bool marked) {
              m_controller.setMarked(row, marked);
              m_model->setMarks(m_controller.state().marked);
          },
          this)) {
    setObjectName(QStringLiteral("cleanUpDialog"));
    const auto t = [&](const char* key) { return ctx.text(QString::fromLatin1(key)); };
    setWindowTitle(t("cleanup_title"));
    const auto check = [this](const QString& text, const char* name) {
        auto* box = new QCheckBox(text, this);
        box->setObjectName(QString::fromLatin1(name));
        return box;
    };
    const auto date = [this](const char* name) {
        auto* edit = new QDateEdit(QDate::currentDate(), this);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setCalendarPopup(true);
        edit->setEnabled(false);
        return edit;
    };
    m_expired = check(t("cleanup_expired_before"), "showExpiredBeforeCheck");
    m_expiredDate = date("expireBeforeDatepicker");
    m_attachment = check(t("cleanup_attachment_bigger"), "withAttachmentBiggerCheck");
    m_attachmentSize = new QSpinBox(this);
    m_attachmentSize->setObjectName(QStringLiteral("attachmentSizeField"));
    m_attachmentSize->setRange(0, std::numeric_limits<int>::max());
    m_attachmentSize->setValue(int(CleanUpViewController::kDefaultAttachmentSize));
    m_attachmentSize->setEnabled(false);
    m_notUsed = check(t("cleanup_not_used_after"), "notUsedAfterCheck");
    m_notUsedDate = date("notUsedAfterDatePicker");
    m_neverUsed = check(t("cleanup_never_used"), "neverUsedCheck");
    m_history = check(t("cleanup_with_history"), "withHistoryCheck");
    m_customIcon = check(t("cleanup_custom_icon"), "withCustomIconCheck");
    m_or = new QRadioButton(t("cleanup_any"), this);
    m_or->setObjectName(QStringLiteral("radioOR"));
    m_or->setChecked(true);
    m_and = new QRadioButton(t("cleanup_all"), this);
    m_and->setObjectName(QStringLiteral("radioAND"));
    auto* operators = new QButtonGroup(this);
    operators->addButton(m_or);
    operators->addButton(m_and);

    auto* criteriaBox = new QGroupBox(t("cleanup_criteria"), this);
    auto* grid = new QGridLayout(criteriaBox);
    grid->addWidget(m_expired, 0, 0);
    grid->addWidget(m_expiredDate, 0, 1);
    grid->addWidget(m_attachment, 1, 0);
    grid->addWidget(m_attachmentSize, 1, 1);
    grid->addWidget(m_notUsed, 2, 0);
    grid->addWidget(m_notUsedDate, 2, 1);
    grid->addWidget(m_neverUsed, 3, 0);
    grid->addWidget(m_history, 4, 0);
    grid->addWidget(m_customIcon, 5, 0);
    auto* operatorRow = new QHBoxLayout;
    operatorRow->addWidget(m_or);
    operatorRow->addWidget(m_and);
    operatorRow->addStretch(1);
    grid->addLayout(operatorRow, 6, 0, 1, 2);
    grid->setColumnStretch(2, 1);

    m_table = m_model->createView(this);
    m_description = new QLabel(this);
    m_description->setObjectName(QStringLiteral("descriptionLabel"));

    const auto button = [this](const QString& text, const char* name) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    m_deleteHistory = button(t("cleanup_delete_history"), "deleteHistoryButton");
    // The history criterion is collected only; there is nothing for this button to do yet.
    m_deleteHistory->setEnabled(false);
    m_deleteAttachment = button(t("cleanup_delete_attachments"), "deleteAttachmentButton");
    m_resetIcon = button(t("cleanup_reset_icons"), "resetIconButton");
    m_deleteEntry = button(t("cleanup_delete_entries"), "deleteEntryButton");
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* close = buttons->addButton(QDialogButtonBox::Close);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setText(t("dialog_close"));
    auto* actions = new QHBoxLayout;
    actions->addWidget(m_deleteHistory);
    actions->addWidget(m_deleteAttachment);
    actions->addWidget(m_resetIcon);
    actions->addWidget(m_deleteEntry);
    actions->addStretch(1);
    actions->addWidget(buttons);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(criteriaBox);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_description);
    layout->addLayout(actions);

    for (QCheckBox* box :
         {m_expired, m_attachment, m_notUsed, m_neverUsed, m_history, m_customIcon}) {
        connect(box, &QCheckBox::toggled, this, &CleanUpDialog::search);
    }
    connect(m_expired, &QCheckBox::toggled, m_expiredDate, &QWidget::setEnabled);
    connect(m_attachment, &QCheckBox::toggled, m_attachmentSize, &QWidget::setEnabled);
    connect(m_notUsed, &QCheckBox::toggled, m_notUsedDate, &QWidget::setEnabled);
    connect(m_expiredDate, &QDateEdit::dateChanged, this, &CleanUpDialog::search);
    connect(m_notUsedDate, &QDateEdit::dateChanged, this, &CleanUpDialog::search);
    connect(m_attachmentSize, &QSpinBox::valueChanged, this, &CleanUpDialog::search);
    connect(m_or, &QRadioButton::toggled, this, [this](bool on) {
        m_controller.onORANDRadio(on);
        showState();
    });
    connect(m_deleteAttachment, &QPushButton::clicked, this,
            [this] { run(&CleanUpViewController::onDeleteAttachment); });
    connect(m_resetIcon, &QPushButton::clicked, this,
            [this] { run(&CleanUpViewController::onResetIcon); });
    connect(m_deleteEntry, &QPushButton::clicked, this,
            [this] { run(&CleanUpViewController::onDeleteEntry); });
    connect(m_deleteHistory, &QPushButton::clicked, this,
            [this] { run(&CleanUpViewController::onDeleteHistory); });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] {
        m_controller.onClose();
        reject();
    });

    QWidget* order[] = {
        m_expired,     m_expiredDate, m_attachment,    m_attachmentSize,   m_notUsed,
        m_notUsedDate, m_neverUsed,   m_history,       m_customIcon,       m_or,
        m_and,         m_table,       m_deleteHistory, m_deleteAttachment, m_resetIcon,
        m_deleteEntry, close};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
    search();
    resize(760, 560);
}

CleanUpCriteria CleanUpDialog::criteria() const {
    CleanUpCriteria c;
    c.showExpiredBeforeCheck = m_expired->isChecked();
    // The whole chosen day counts as "before".
    c.expireBeforeDatepicker = m_expiredDate->date().endOfDay();
    c.withAttachmentBiggerCheck = m_attachment->isChecked();
    c.attachmentSizeField = QString::number(m_attachmentSize->value());
    c.notUsedAfterCheck = m_notUsed->isChecked();
    c.notUsedAfterDatePicker = m_notUsedDate->date().endOfDay();
    c.neverUsedCheck = m_neverUsed->isChecked();
    c.withHistoryCheck = m_history->isChecked();
    c.withCustomIconCheck = m_customIcon->isChecked();
    c.radioOR = m_or->isChecked();
    return c;
}

void CleanUpDialog::search() {
    m_controller.search(criteria());
    showState();
}

void CleanUpDialog::run(void (CleanUpViewController::*action)()) {
    (m_controller.*action)();
    showState();
}

void CleanUpDialog::showState() {
    const CleanUpViewState& state = m_controller.state();
    m_model->setRows(state.resultArray, state.marked);
    m_description->setText(state.descriptionLabel);
    const bool any = !state.resultArray.empty();
    m_deleteAttachment->setEnabled(any);
    m_resetIcon->setEnabled(any);
    m_deleteEntry->setEnabled(any);
}

} // namespace keskor
