#include "ui/GrantAccessDialog.h"

#include "core/shared/Info2Item.h"
#include "ui/EntryIcons.h"
#include "ui/UiContext.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace keskor {

namespace {

QCheckBox* check(const QString& text, const QString& name, QWidget* parent) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(name);
    return box;
}

QDateTimeEdit* datePicker(const QString& name, QWidget* parent) {
    auto* edit = new QDateTimeEdit(QDateTime::currentDateTime(), parent);
    edit->setObjectName(name);
    edit->setCalendarPopup(true);
    return edit;
}

} // namespace

GrantAccessDialog::GrantAccessDialog(UiContext& ctx, EnterpriseStorage& storage,
                                     const PassFile& database, std::shared_ptr<Info2Item> entry,
                                     QWidget* parent)
    : QDialog(parent), m_controller(storage, ctx.presenter, database, entry),
      m_users(new QTableWidget(this)),
      m_validFromCheck(check(ctx.text(QStringLiteral("grant_valid_from")),
                             QStringLiteral("validFromCheck"), this)),
      m_validFromDate(datePicker(QStringLiteral("validFromDate"), this)),
      m_validToCheck(
          check(ctx.text(QStringLiteral("grant_valid_to")), QStringLiteral("validToCheck"), this)),
      m_validToDate(datePicker(QStringLiteral("validToDate"), this)),
      m_use(check(ctx.text(QStringLiteral("grant_right_use")), QStringLiteral("useCheck"), this)),
      m_read(
          check(ctx.text(QStringLiteral("grant_right_read")), QStringLiteral("readCheck"), this)),
      m_modify(check(ctx.text(QStringLiteral("grant_right_modify")), QStringLiteral("modifyCheck"),
                     this)),
      m_delete(check(ctx.text(QStringLiteral("grant_right_delete")), QStringLiteral("deleteCheck"),
                     this)),
      m_seal(check(ctx.text(QStringLiteral("grant_seal")), QStringLiteral("sealCheck"), this)),
      m_approverChoice(new QComboBox(this)),
      m_addApprover(new QPushButton(ctx.text(QStringLiteral("grant_add_approver")), this)),
      m_removeApprover(new QPushButton(ctx.text(QStringLiteral("grant_remove_approver")), this)),
      m_approvers(new QListWidget(this)), m_finish(nullptr) {
    setObjectName(QStringLiteral("grantAccessDialog"));
    setWindowTitle(ctx.text(QStringLiteral("grant_access_title")));

    auto* image = new QLabel(this);
    image->setPixmap(EntryIcons::ofType(entry ? entry->type : 0).pixmap(32, 32));
    auto* name = new QLabel(entry ? entry->description() : QString(), this);
    name->setObjectName(QStringLiteral("entryNameLabel"));
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);

    m_users->setObjectName(QStringLiteral("usersTable"));
    m_users->setColumnCount(2);
    m_users->setHorizontalHeaderLabels(
        {ctx.text(QStringLiteral("grant_user_name")), ctx.text(QStringLiteral("grant_full_name"))});
    m_users->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_users->setSelectionMode(QAbstractItemView::SingleSelection);
    m_users->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_users->verticalHeader()->hide();
    m_users->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_users->setRowCount(m_controller.normalUsers().size());
    for (int row = 0; row < m_controller.normalUsers().size(); ++row) {
        const QVariantMap& user = m_controller.normalUsers()[row];
        m_users->setItem(row, 0,
                         new QTableWidgetItem(user.value(QStringLiteral("name")).toString()));
        m_users->setItem(row, 1,
                         new QTableWidgetItem(user.value(QStringLiteral("fullname")).toString()));
    }
    m_approverChoice->setObjectName(QStringLiteral("approverChoice"));
    for (const QVariantMap& admin : m_controller.adminUsers()) {
        m_approverChoice->addItem(GrantAccessViewController::userTitle(admin));
    }
    m_approvers->setObjectName(QStringLiteral("approversTable"));

    auto* validity = new QGroupBox(ctx.text(QStringLiteral("grant_validity")), this);
    auto* validityGrid = new QGridLayout(validity);
    validityGrid->addWidget(m_validFromCheck, 0, 0);
    validityGrid->addWidget(m_validFromDate, 0, 1);
    validityGrid->addWidget(m_validToCheck, 1, 0);
    validityGrid->addWidget(m_validToDate, 1, 1);
    auto* rights = new QGroupBox(ctx.text(QStringLiteral("grant_rights")), this);
    auto* rightsRow = new QHBoxLayout(rights);
    for (QCheckBox* box : {m_use, m_read, m_modify, m_delete}) {
        rightsRow->addWidget(box);
    }
    auto* seal = new QGroupBox(this);
    auto* sealLayout = new QGridLayout(seal);
    sealLayout->addWidget(m_seal, 0, 0, 1, 3);
    sealLayout->addWidget(m_approverChoice, 1, 0);
    sealLayout->addWidget(m_addApprover, 1, 1);
    sealLayout->addWidget(m_removeApprover, 1, 2);
    sealLayout->addWidget(m_approvers, 2, 0, 1, 3);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(ctx.text(QStringLiteral("dialog_cancel")));
    m_finish = buttons->addButton(ctx.text(QStringLiteral("finish")), QDialogButtonBox::AcceptRole);
    m_finish->setObjectName(QStringLiteral("nextButton"));

    auto* header = new QHBoxLayout;
    header->addWidget(image);
    header->addWidget(name, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addWidget(m_users, 1);
    layout->addWidget(validity);
    layout->addWidget(rights);
    layout->addWidget(seal);
    layout->addWidget(buttons);

    for (QCheckBox* box :
         {m_validFromCheck, m_validToCheck, m_use, m_read, m_modify, m_delete, m_seal}) {
        connect(box, &QCheckBox::toggled, this, &GrantAccessDialog::updateEnabled);
    }
    connect(m_users, &QTableWidget::itemSelectionChanged, this, &GrantAccessDialog::updateEnabled);
    connect(m_approvers, &QListWidget::itemSelectionChanged, this,
            &GrantAccessDialog::updateEnabled);
    connect(m_addApprover, &QPushButton::clicked, this, [this] {
        m_controller.addApprover(m_approverChoice->currentIndex());
        showApprovers();
    });
    connect(m_removeApprover, &QPushButton::clicked, this, [this] {
        m_controller.removeApprover(m_approvers->currentRow());
        showApprovers();
    });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { m_controller.finish(input()); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_controller.setView({[this] { accept(); }});
    updateEnabled();
    resize(520, 640);
}

GrantAccessViewController::Input GrantAccessDialog::input() const {
    GrantAccessViewController::Input in;
    const QList<QTableWidgetItem*> selected = m_users->selectedItems();
    in.user = selected.isEmpty() ? -1 : selected.front()->row();
    if (m_validFromCheck->isChecked()) {
        in.validFrom = m_validFromDate->dateTime();
    }
    if (m_validToCheck->isChecked()) {
        in.validTo = m_validToDate->dateTime();
    }
    in.use = m_use->isChecked();
    in.read = m_read->isChecked();
    in.modify = m_modify->isChecked();
    in.remove = m_delete->isChecked();
    in.seal = m_seal->isChecked();
    return in;
}

void GrantAccessDialog::showApprovers() {
    m_approvers->clear();
    for (const QVariantMap& user : m_controller.approveUsers()) {
        m_approvers->addItem(GrantAccessViewController::userTitle(user));
    }
    updateEnabled();
}

void GrantAccessDialog::updateEnabled() {
    m_validFromDate->setEnabled(m_validFromCheck->isChecked());
    m_validToDate->setEnabled(m_validToCheck->isChecked());
    const bool sealed = m_seal->isChecked();
    m_approverChoice->setEnabled(sealed && m_approverChoice->count() > 0);
    m_addApprover->setEnabled(sealed && m_approverChoice->count() > 0);
    m_removeApprover->setEnabled(sealed && m_approvers->currentRow() >= 0);
    m_approvers->setEnabled(sealed);
    const bool anyRight =
        m_use->isChecked() || m_read->isChecked() || m_modify->isChecked() || m_delete->isChecked();
    m_finish->setEnabled(anyRight && !m_users->selectedItems().isEmpty());
}

} // namespace keskor
