#include "ui/EntryEditorDialog.h"

#include "core/EntryBrowser.h"
#include "core/EntryKinds.h"
#include "core/ItemActions.h"
#include "core/Localizer.h"
#include "core/shared/DateTimeHelper.h"
#include "core/shared/PassFile.h"
#include "platform/Presenter.h"
#include "tools/PasswordHelper.h"
#include "ui/EntryIcons.h"
#include "ui/UiContext.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <limits>

namespace keskor {

namespace {

QLineEdit* lineEdit(const char* name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    // QLineEdit cuts at 32,767 characters by default; an entry's value must come back whole.
    edit->setMaxLength(std::numeric_limits<int>::max());
    return edit;
}

QTableWidgetItem* cell(const QString& text) {
    return new QTableWidgetItem(text);
}

} // namespace

EntryEditorDialog::EntryEditorDialog(UiContext& ctx, std::shared_ptr<Info2Item> entry,
                                     QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_controller(ctx.items, ctx.presenter, std::move(entry)) {
    build();
}

EntryEditorDialog::EntryEditorDialog(UiContext& ctx, int type, Info2Item& folder, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_controller(ctx.items, ctx.presenter, type, folder) {
    build();
}

QString EntryEditorDialog::t(const char* key) const {
    return m_ctx.localizer.text(QString::fromLatin1(key));
}

void EntryEditorDialog::build() {
    setObjectName(QStringLiteral("entryEditor"));
    const EntryKind& kind = EntryKinds::ofRaw(m_controller.draft.type);
    setWindowTitle(m_controller.isNew()
                       ? t("new_entry") + QStringLiteral(": ") + m_ctx.localizer.text(kind.nameKey)
                       : t("properties_of") + QLatin1Char(' ') + m_controller.draft.description);
    auto* layout = new QVBoxLayout(this);
    auto* tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("editorTabs"));
    tabs->addTab(generalTab(), t("tab_general"));
    tabs->addTab(customFieldsTab(), t("tab_custom_fields"));
    tabs->addTab(attachmentsTab(), t("attachments"));
    tabs->addTab(tansTab(), t("tab_tans"));
    tabs->addTab(historyTab(), t("tab_history"));
    if (kind.attachmentsFirst) {
        tabs->setCurrentIndex(2);
    }
    layout->addWidget(tabs);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Ok)->setText(t("dialog_ok"));
    buttons->button(QDialogButtonBox::Cancel)->setText(t("dialog_cancel"));
    buttons->button(QDialogButtonBox::Ok)->setEnabled(!m_controller.isReadOnly());
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    load();
    resize(560, 520);
}

QWidget* EntryEditorDialog::generalTab() {
    const EntryKind& kind = EntryKinds::ofRaw(m_controller.draft.type);
    auto* page = new QWidget(this);
    auto* form = new QFormLayout(page);
    m_title = lineEdit("titleField", page);
    form->addRow(t("column_title"), m_title);
    m_user = lineEdit("userNameField", page);
    m_password = lineEdit("passwordField", page);
    m_url = lineEdit("urlField", page);
    if (!kind.userNameKey.isEmpty()) {
        form->addRow(m_ctx.localizer.text(kind.userNameKey), m_user);
    } else {
        m_user->hide();
    }
    if (!kind.passwordKey.isEmpty()) {
        m_password->setEchoMode(QLineEdit::Password);
        QAction* reveal = m_password->addAction(QIcon::fromTheme(QStringLiteral("view-reveal")),
                                                QLineEdit::TrailingPosition);
        reveal->setCheckable(true);
        reveal->setToolTip(t("show"));
        connect(reveal, &QAction::toggled, this, [this](bool on) {
            m_password->setEchoMode(on ? QLineEdit::Normal : QLineEdit::Password);
        });
        auto* row = new QHBoxLayout;
        row->addWidget(m_password, 1);
        auto* generate = new QPushButton(t("generate"), page);
        generate->setObjectName(QStringLiteral("generateButton"));
        connect(generate, &QPushButton::clicked, this, [this] {
            if (!m_generator) {
                return;
            }
            QPointer<QLineEdit> field = m_password;
            m_generator([field](const QString& password) {
                if (!field) {
                    return false;
                }
                field->setText(password);
                return true;
            });
        });
        row->addWidget(generate);
        form->addRow(m_ctx.localizer.text(kind.passwordKey), row);
        m_strength = new QProgressBar(page);
        m_strength->setObjectName(QStringLiteral("strengthBar"));
        m_strength->setTextVisible(false);
        m_strength->setMaximumHeight(8);
        m_strengthText = new QLabel(page);
        m_strengthText->setObjectName(QStringLiteral("strengthText"));
        form->addRow(QString(), m_strength);
        form->addRow(QString(), m_strengthText);
        connect(m_password, &QLineEdit::textChanged, this, &EntryEditorDialog::updateStrength);
    } else {
        m_password->hide();
    }
    if (!kind.urlKey.isEmpty()) {
        form->addRow(m_ctx.localizer.text(kind.urlKey), m_url);
    } else {
        m_url->hide();
    }
    m_category = new QComboBox(page);
    m_category->setObjectName(QStringLiteral("categoryField"));
    m_category->setEditable(true);
    if (const PassFile* file = m_ctx.items.database()) {
        m_category->addItems(EntryBrowser::categories(*file));
    }
    form->addRow(t("category"), m_category);
    m_importance = new QComboBox(page);
    m_importance->setObjectName(QStringLiteral("importanceField"));
    m_importance->addItem(t("low"), 0);
    m_importance->addItem(t("normal"), 1);
    m_importance->addItem(t("high"), 2);
    form->addRow(t("importance"), m_importance);
    auto* expiryRow = new QHBoxLayout;
    m_expires = new QCheckBox(t("expires"), page);
    m_expires->setObjectName(QStringLiteral("expiresCheck"));
    m_expiry = new QDateEdit(QDate::currentDate().addYears(1), page);
    m_expiry->setObjectName(QStringLiteral("expiryField"));
    m_expiry->setCalendarPopup(true);
    connect(m_expires, &QCheckBox::toggled, m_expiry, &QWidget::setEnabled);
    expiryRow->addWidget(m_expires);
    expiryRow->addWidget(m_expiry, 1);
    form->addRow(t("expiry_date"), expiryRow);
    m_icon = new QComboBox(page);
    m_icon->setObjectName(QStringLiteral("iconField"));
    m_icon->addItem(t("icon_default"), -1);
    const QList<QIcon> icons = EntryIcons::builtIn();
    for (int i = 0; i < icons.size(); ++i) {
        m_icon->addItem(icons[i], QString::number(i + 1), i);
    }
    form->addRow(t("icon"), m_icon);
    m_favorite = new QCheckBox(t("favorite"), page);
    m_favorite->setObjectName(QStringLiteral("favoriteCheck"));
    form->addRow(QString(), m_favorite);
    m_template = lineEdit("templateField", page);
    m_template->setPlaceholderText(QStringLiteral("<USER><TAB><PASS><ENTER>"));
    form->addRow(t("autotype_template"), m_template);
    m_comment = new QPlainTextEdit(page);
    m_comment->setObjectName(QStringLiteral("commentField"));
    form->addRow(t("comments"), m_comment);
    return page;
}

QWidget* EntryEditorDialog::customFieldsTab() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    m_custom = new QTableWidget(0, 3, page);
    m_custom->setObjectName(QStringLiteral("customFieldsTable"));
    m_custom->setHorizontalHeaderLabels({t("field_name"), t("field_value"), t("field_hidden")});
    m_custom->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    layout->addWidget(m_custom);
    auto* row = new QHBoxLayout;
    auto* add = new QPushButton(t("add"), page);
    auto* remove = new QPushButton(t("remove"), page);
    connect(add, &QPushButton::clicked, this, [this] {
        const int r = m_custom->rowCount();
        m_custom->insertRow(r);
        m_custom->setItem(r, 0, cell(QString()));
        m_custom->setItem(r, 1, cell(QString()));
        auto* hidden = cell(QString());
        hidden->setCheckState(Qt::Unchecked);
        m_custom->setItem(r, 2, hidden);
        m_custom->editItem(m_custom->item(r, 0));
    });
    connect(remove, &QPushButton::clicked, this,
            [this] { m_custom->removeRow(m_custom->currentRow()); });
    row->addWidget(add);
    row->addWidget(remove);
    row->addStretch();
    layout->addLayout(row);
    return page;
}

QWidget* EntryEditorDialog::tansTab() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    m_tans = new QTableWidget(0, 4, page);
    m_tans->setObjectName(QStringLiteral("tansTable"));
    m_tans->setHorizontalHeaderLabels(
        {t("tan_number"), t("tan_value"), t("tan_used"), t("comments")});
    m_tans->horizontalHeader()->setSectionResizeMode(3, QHeaderView::Stretch);
    layout->addWidget(m_tans);
    auto* row = new QHBoxLayout;
    auto* add = new QPushButton(t("add"), page);
    auto* remove = new QPushButton(t("remove"), page);
    connect(add, &QPushButton::clicked, this, [this] {
        const int r = m_tans->rowCount();
        m_tans->insertRow(r);
        for (int c = 0; c < 4; ++c) {
            m_tans->setItem(r, c, cell(QString()));
        }
        m_tans->item(r, 2)->setCheckState(Qt::Unchecked);
    });
    connect(remove, &QPushButton::clicked, this,
            [this] { m_tans->removeRow(m_tans->currentRow()); });
    row->addWidget(add);
    row->addWidget(remove);
    row->addStretch();
    layout->addLayout(row);
    return page;
}

QWidget* EntryEditorDialog::attachmentsTab() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    m_attachments = new QListWidget(page);
    m_attachments->setObjectName(QStringLiteral("attachmentsList"));
    layout->addWidget(m_attachments);
    auto* row = new QHBoxLayout;
    auto* add = new QPushButton(t("add"), page);
    auto* save = new QPushButton(t("save_to_file"), page);
    auto* remove = new QPushButton(t("remove"), page);
    connect(add, &QPushButton::clicked, this, [this] {
        if (const auto path =
                m_ctx.presenter.chooseFileToOpen(UiText::key(QStringLiteral("add")), {})) {
            if (m_controller.addAttachment(*path)) {
                fillAttachments();
            }
        }
    });
    connect(save, &QPushButton::clicked, this, [this] {
        const int index = m_attachments->currentRow();
        if (index < 0) {
            return;
        }
        const QString name = m_controller.draft.attachments[index].fileName;
        if (const auto path = m_ctx.presenter.chooseFileToSave(
                UiText::key(QStringLiteral("save_to_file")), name, {})) {
            m_controller.saveAttachment(index, *path);
        }
    });
    connect(remove, &QPushButton::clicked, this, [this] {
        m_controller.removeAttachment(m_attachments->currentRow());
        fillAttachments();
    });
    row->addWidget(add);
    row->addWidget(save);
    row->addWidget(remove);
    row->addStretch();
    layout->addLayout(row);
    return page;
}

QWidget* EntryEditorDialog::historyTab() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    m_history = new QListWidget(page);
    m_history->setObjectName(QStringLiteral("historyList"));
    layout->addWidget(m_history);
    auto* restore = new QPushButton(t("restore_version"), page);
    restore->setObjectName(QStringLiteral("restoreVersionButton"));
    connect(restore, &QPushButton::clicked, this, [this] {
        const int row = m_history->currentRow();
        if (row < 0) {
            return;
        }
        // The list shows the newest first.
        m_controller.restoreHistory(int(m_controller.history().size()) - 1 - row);
        load();
    });
    layout->addWidget(restore, 0, Qt::AlignLeft);
    return page;
}

void EntryEditorDialog::fillAttachments() {
    m_attachments->clear();
    for (const Attachment& a : m_controller.draft.attachments) {
        m_attachments->addItem(
            QStringLiteral("%1 (%2)").arg(a.fileName, QLocale().formattedDataSize(a.data.size())));
    }
}

void EntryEditorDialog::fillHistory() {
    m_history->clear();
    const std::vector<Info2Item>& versions = m_controller.history();
    for (auto it = versions.rbegin(); it != versions.rend(); ++it) {
        m_history->addItem(QLocale().toString(DateTimeHelper::parseDelphiDate(it->lastModified),
                                              QLocale::ShortFormat) +
                           QStringLiteral(" — ") + it->description().left(200));
    }
}

void EntryEditorDialog::updateStrength() {
    if (!m_strength) {
        return;
    }
    const QString password = m_password->text();
    const StrengthBar bar = PasswordHelper::updateStrengthBar(password);
    m_strength->setRange(0, int(bar.maxValue));
    m_strength->setValue(int(bar.value));
    m_strength->setStyleSheet(
        QStringLiteral("QProgressBar::chunk { background: %1; }")
            .arg(QColor::fromRgbF(float(bar.red), float(bar.green), float(bar.blue)).name()));
    m_strengthText->setText(PasswordHelper::strengthSummary(password, m_ctx.text));
}

void EntryEditorDialog::load() {
    const EntryDraft& d = m_controller.draft;
    m_title->setText(d.description);
    m_user->setText(d.userName);
    m_password->setText(d.password);
    m_url->setText(d.url);
    m_category->setCurrentText(d.category);
    m_importance->setCurrentIndex(qBound(0, d.importance, 2));
    m_expires->setChecked(d.expiryDate > 1.0);
    m_expiry->setEnabled(d.expiryDate > 1.0);
    if (d.expiryDate > 1.0) {
        m_expiry->setDate(DateTimeHelper::parseDelphiDate(d.expiryDate).date());
    }
    m_icon->setCurrentIndex(qMax(0, m_icon->findData(d.icon.custom ? -1 : d.icon.index)));
    m_favorite->setChecked(d.isFavorite);
    m_template->setText(d.autoTypeTemplate);
    m_comment->setPlainText(d.comment);
    m_custom->setRowCount(0);
    for (const PswField& f : d.customFields) {
        const int r = m_custom->rowCount();
        m_custom->insertRow(r);
        m_custom->setItem(r, 0, cell(f.name));
        m_custom->setItem(r, 1, cell(f.value));
        auto* hidden = cell(QString());
        hidden->setCheckState(f.visible ? Qt::Unchecked : Qt::Checked);
        m_custom->setItem(r, 2, hidden);
    }
    m_tans->setRowCount(0);
    for (const TanItem& tan : d.tans) {
        const int r = m_tans->rowCount();
        m_tans->insertRow(r);
        m_tans->setItem(r, 0, cell(tan.number));
        m_tans->setItem(r, 1, cell(tan.value));
        m_tans->setItem(r, 2, cell(QString()));
        m_tans->item(r, 2)->setCheckState(tan.isUsed() ? Qt::Checked : Qt::Unchecked);
        m_tans->setItem(r, 3, cell(tan.comment));
    }
    fillAttachments();
    fillHistory();
    updateStrength();
}

void EntryEditorDialog::store() {
    EntryDraft& d = m_controller.draft;
    d.description = m_title->text();
    d.userName = m_user->text();
    d.password = m_password->text();
    d.url = m_url->text();
    d.category = m_category->currentText();
    d.importance = m_importance->currentData().toInt();
    d.expiryDate =
        m_expires->isChecked() ? DateTimeHelper::toDelphiTime(m_expiry->date().startOfDay()) : 0.0;
    const int icon = m_icon->currentData().toInt();
    if (icon >= 0 || !d.icon.custom) {
        d.icon.index = icon;
        d.icon.custom = false;
    }
    d.isFavorite = m_favorite->isChecked();
    d.autoTypeTemplate = m_template->text();
    d.comment = m_comment->toPlainText();
    QList<PswField> fields;
    for (int r = 0; r < m_custom->rowCount(); ++r) {
        PswField f;
        f.name = m_custom->item(r, 0) ? m_custom->item(r, 0)->text() : QString();
        f.value = m_custom->item(r, 1) ? m_custom->item(r, 1)->text() : QString();
        f.visible = !m_custom->item(r, 2) || m_custom->item(r, 2)->checkState() != Qt::Checked;
        // Keep what else the field carried (its web-form binding).
        if (r < d.customFields.size() && d.customFields[r].name == f.name) {
            f.inputId = d.customFields[r].inputId;
        }
        if (!f.name.isEmpty() || !f.value.isEmpty()) {
            fields.append(f);
        }
    }
    d.customFields = fields;
    QList<TanItem> tans;
    for (int r = 0; r < m_tans->rowCount(); ++r) {
        TanItem tan = r < d.tans.size() ? d.tans[r] : TanItem();
        tan.number = m_tans->item(r, 0)->text();
        tan.value = m_tans->item(r, 1)->text();
        const bool used = m_tans->item(r, 2)->checkState() == Qt::Checked;
        if (used != tan.isUsed()) {
            tan.used = used ? DateTimeHelper::Now() : 0.0;
        }
        tan.comment = m_tans->item(r, 3)->text();
        tans.append(tan);
    }
    d.tans = tans;
}

void EntryEditorDialog::accept() {
    store();
    if (m_controller.save()) {
        QDialog::accept();
    }
}

} // namespace keskor
