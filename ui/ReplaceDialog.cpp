#include "ui/ReplaceDialog.h"

#include "core/AppDelegate.h"
#include "core/ItemActions.h"
#include "platform/NotificationCenter.h"
#include "platform/NotificationNames.h"
#include "ui/CheckableEntryModel.h"
#include "ui/UiContext.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableView>
#include <QVBoxLayout>

namespace keskor {

ReplaceDialog::ReplaceDialog(UiContext& ctx, std::function<void()> refreshSelection,
                             QWidget* parent)
    : QDialog(parent), m_ctx(ctx),
      m_controller(
          ctx.presenter, ctx.text, [&ctx] { return ctx.items.database(); },
          [&ctx] { ctx.app.databases().saveSession(true); }, std::move(refreshSelection),
          &ctx.notifications),
      m_model(new CheckableEntryModel(
          ctx.text,
          [this](int row, bool marked) {
              m_controller.onTableCellCheck(row, marked);
              m_model->setMarks(m_controller.state().marked);
              m_status1->setText(m_controller.state().status1Label);
          },
          this)) {
    setObjectName(QStringLiteral("replaceDialog"));
    const auto t = [&](const char* key) { return ctx.text(QString::fromLatin1(key)); };
    setWindowTitle(t("replace_title"));
    const auto line = [this](const char* name) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setMaxLength(4096);
        return edit;
    };
    const auto check = [this](const QString& text, const char* name) {
        auto* box = new QCheckBox(text, this);
        box->setObjectName(QString::fromLatin1(name));
        return box;
    };
    const auto button = [this](const QString& text, const char* name) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    m_search = line("searchField");
    m_replace = line("replaceField");
    m_folder = new QComboBox(this);
    m_folder->setObjectName(QStringLiteral("folderPopup"));
    m_description = check(t("replace_in_description"), "descriptionCheck");
    m_username = check(t("replace_in_username"), "usernameCheck");
    m_password = check(t("replace_in_password"), "passwordCheck");
    m_customField = check(t("replace_in_custom_fields"), "customFieldCheck");
    m_url = check(t("replace_in_url"), "urlCheck");
    m_comments = check(t("replace_in_comments"), "commentsCheck");
    m_webform = check(t("replace_in_webform"), "webformCheck");
    m_subFolders = check(t("replace_include_subfolders"), "includeSubFolderCheck");
    m_matchCase = check(t("match_case"), "matchCaseCheck");
    m_findButton = button(t("find"), "findButton");
    m_findButton->setDefault(true);
    m_replaceButton = button(t("replace_button"), "replaceButton");
    m_newSearchButton = button(t("replace_new_search"), "newSearchButton");

    auto* searchLabel = new QLabel(t("replace_search_for"), this);
    searchLabel->setBuddy(m_search);
    auto* replaceLabel = new QLabel(t("replace_replace_with"), this);
    replaceLabel->setBuddy(m_replace);
    auto* folderLabel = new QLabel(t("replace_folder"), this);
    folderLabel->setBuddy(m_folder);
    auto* form = new QFormLayout;
    form->addRow(searchLabel, m_search);
    form->addRow(replaceLabel, m_replace);
    form->addRow(folderLabel, m_folder);
    auto* options = new QHBoxLayout;
    options->addWidget(m_subFolders);
    options->addWidget(m_matchCase);
    options->addStretch(1);
    form->addRow(QString(), options);

    auto* fields = new QGroupBox(t("replace_fields"), this);
    auto* grid = new QGridLayout(fields);
    const QList<QCheckBox*> fieldChecks{m_description, m_username, m_password, m_customField,
                                        m_url,         m_comments, m_webform};
    for (int i = 0; i < fieldChecks.size(); ++i) {
        grid->addWidget(fieldChecks[i], i / 4, i % 4);
    }

    m_table = m_model->createView(this);
    m_status1 = new QLabel(this);
    m_status1->setObjectName(QStringLiteral("status1Label"));
    m_status2 = new QLabel(this);
    m_status2->setObjectName(QStringLiteral("status2Label"));
    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(m_status1);
    statusRow->addStretch(1);
    statusRow->addWidget(m_status2);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setText(t("dialog_close"));
    cancel->setAutoDefault(false);
    auto* actions = new QHBoxLayout;
    actions->addWidget(m_newSearchButton);
    actions->addStretch(1);
    actions->addWidget(m_findButton);
    actions->addWidget(m_replaceButton);
    actions->addWidget(buttons);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(fields);
    layout->addWidget(m_table, 1);
    layout->addLayout(statusRow);
    layout->addLayout(actions);

    fillFolders();
    showControls(m_controller.state().controls);
    showState();

    const auto textChanged = [this] {
        m_controller.controlTextDidChange(controls());
        showState();
    };
    connect(m_search, &QLineEdit::textChanged, this, textChanged);
    connect(m_replace, &QLineEdit::textChanged, this, textChanged);
    connect(m_search, &QLineEdit::returnPressed, m_findButton, &QPushButton::click);
    connect(m_findButton, &QPushButton::clicked, this, [this] {
        m_controller.onFind(controls());
        showState();
    });
    connect(m_replaceButton, &QPushButton::clicked, this, [this] {
        m_controller.onReplace(controls());
        m_model->refreshTexts();
        showState();
    });
    connect(m_newSearchButton, &QPushButton::clicked, this, [this] {
        m_controller.onNewSearch();
        fillFolders();
        showControls(m_controller.state().controls);
        showState();
        m_search->setFocus();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, [this] {
        m_controller.onCancel();
        reject();
    });
    // The controller finds again on every entry change (it observed first); show what it found.
    m_observer = ctx.notifications.observe(NotificationNames::EntryDidChanged,
                                           [this](const QVariantMap&) { showState(); });

    QWidget* order[] = {m_search,        m_replace,  m_folder,   m_subFolders,      m_matchCase,
                        m_description,   m_username, m_password, m_customField,     m_url,
                        m_comments,      m_webform,  m_table,    m_newSearchButton, m_findButton,
                        m_replaceButton, cancel};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
    m_search->setFocus();
    resize(780, 560);
}

ReplaceDialog::~ReplaceDialog() {
    m_ctx.notifications.removeObserver(m_observer);
}

void ReplaceDialog::fillFolders() {
    const QSignalBlocker blocker(m_folder);
    m_folder->clear();
    for (const FolderSelectMenuItem& item : m_controller.folderPopup()) {
        const QString title =
            item.depth == 0 ? m_ctx.text(QStringLiteral("nav_database"))
                            : QString(item.depth * 2, QLatin1Char(' ')) + item.title.left(200);
        m_folder->addItem(title, item.fingerprint);
    }
}

ReplaceControls ReplaceDialog::controls() const {
    ReplaceControls c;
    c.searchField = m_search->text();
    c.replaceField = m_replace->text();
    c.folderFingerprint = m_folder->currentData().toString();
    c.descriptionCheck = m_description->isChecked();
    c.usernameCheck = m_username->isChecked();
    c.passwordCheck = m_password->isChecked();
    c.customFieldCheck = m_customField->isChecked();
    c.urlCheck = m_url->isChecked();
    c.commentsCheck = m_comments->isChecked();
    c.webformCheck = m_webform->isChecked();
    c.includeSubFolderCheck = m_subFolders->isChecked();
    c.matchCaseCheck = m_matchCase->isChecked();
    return c;
}

void ReplaceDialog::showControls(const ReplaceControls& c) {
    const QSignalBlocker searchBlocker(m_search);
    const QSignalBlocker replaceBlocker(m_replace);
    m_search->setText(c.searchField);
    m_replace->setText(c.replaceField);
    const int folder = m_folder->findData(c.folderFingerprint);
    m_folder->setCurrentIndex(folder < 0 ? 0 : folder);
    m_description->setChecked(c.descriptionCheck);
    m_username->setChecked(c.usernameCheck);
    m_password->setChecked(c.passwordCheck);
    m_customField->setChecked(c.customFieldCheck);
    m_url->setChecked(c.urlCheck);
    m_comments->setChecked(c.commentsCheck);
    m_webform->setChecked(c.webformCheck);
    m_subFolders->setChecked(c.includeSubFolderCheck);
    m_matchCase->setChecked(c.matchCaseCheck);
}

void ReplaceDialog::showState() {
    const ReplaceViewState& s = m_controller.state();
    m_model->setRows(s.resultArray, s.marked);
    m_status1->setText(s.status1Label);
    m_status2->setText(s.status2Label);
    m_findButton->setEnabled(s.findButtonEnabled);
    m_replaceButton->setEnabled(s.replaceButtonEnabled);
}

} // namespace keskor
