#include "ui/WebSocketAddEntryDialog.h"

#include "core/AppDelegate.h"
#include "core/DatabaseController.h"
#include "core/ItemActions.h"
#include "core/Localizer.h"
#include "ui/UiContext.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace keskor {

WebSocketAddEntryDialog::WebSocketAddEntryDialog(UiContext& ctx, PassFile& file,
                                                 const QString& title, const QString& url,
                                                 const std::optional<SocketXMLForm>& form,
                                                 const Info2Item* selectedFolder, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_description(new QLineEdit(this)),
      m_userName(new QLineEdit(this)), m_password(new QLineEdit(this)), m_url(new QLineEdit(this)),
      m_folder(new QComboBox(this)), m_status(new QLabel(this)) {
    setObjectName(QStringLiteral("webSocketAddEntryDialog"));
    setWindowTitle(ctx.text(QStringLiteral("ws_add_entry_title")));
    // The browser has the focus when this opens; the offer must not hide behind it.
    setWindowFlag(Qt::WindowStaysOnTopHint);

    WebSocketAddEntryViewController::Hooks hooks;
    hooks.addItem = [&ctx](std::shared_ptr<Info2Item> entry, Info2Item& folder) {
        ctx.items.addItem(std::move(entry), folder);
    };
    hooks.save = [&ctx] { ctx.app.databases().saveSession(false); };
    hooks.showStatus = [this](const UiText& text) {
        m_status->setText(m_ctx.localizer.text(text));
    };
    hooks.close = [this] { done(m_outcome); };
    m_controller = std::make_unique<WebSocketAddEntryViewController>(
        file, ctx.presenter, ctx.clock, std::move(hooks), &ctx.network);
    m_controller->configure(title, url, form, selectedFolder);

    m_description->setObjectName(QStringLiteral("descriptionField"));
    m_description->setText(m_controller->descriptionField);
    m_userName->setObjectName(QStringLiteral("usernameField"));
    m_userName->setText(m_controller->usernameField);
    m_password->setObjectName(QStringLiteral("passwordField"));
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setText(m_controller->passwordField);
    m_url->setObjectName(QStringLiteral("urlField"));
    m_url->setText(m_controller->urlField);
    m_folder->setObjectName(QStringLiteral("folderPopup"));
    for (const auto& choice : m_controller->folderPopup) {
        m_folder->addItem(QString(choice.depth * 2, QLatin1Char(' ')) + choice.title);
    }
    m_folder->setCurrentIndex(m_controller->selectedFolderIndex);
    m_status->setObjectName(QStringLiteral("statusLabel"));

    auto* form_ = new QFormLayout;
    const auto row = [&](const char* key, QWidget* field) {
        auto* label = new QLabel(ctx.text(QLatin1String(key)), this);
        label->setBuddy(field);
        form_->addRow(label, field);
    };
    row("ws_add_entry_description", m_description);
    row("ws_add_entry_username", m_userName);
    row("ws_add_entry_password", m_password);
    row("ws_add_entry_url", m_url);
    row("ws_add_entry_folder", m_folder);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* add = buttons->addButton(ctx.text(QStringLiteral("ws_add_entry_add")),
                                          QDialogButtonBox::AcceptRole);
    add->setObjectName(QStringLiteral("addButton"));
    add->setDefault(true);
    QPushButton* ignore = buttons->addButton(ctx.text(QStringLiteral("ws_add_entry_ignore")),
                                             QDialogButtonBox::DestructiveRole);
    ignore->setObjectName(QStringLiteral("ignoreButton"));
    QPushButton* cancel =
        buttons->addButton(ctx.text(QStringLiteral("dialog_cancel")), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(ignore, &QPushButton::clicked, this, [this] {
        forwardFields();
        m_controller->onIgnore();
    });

    auto* explanation = new QLabel(ctx.text(QStringLiteral("ws_add_entry_text")), this);
    explanation->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addLayout(form_);
    layout->addWidget(m_status);
    layout->addWidget(buttons);
    m_description->setFocus();
}

void WebSocketAddEntryDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_controller->viewDidLoad();
}

void WebSocketAddEntryDialog::forwardFields() {
    m_controller->descriptionField = m_description->text();
    m_controller->usernameField = m_userName->text();
    m_controller->passwordField = m_password->text();
    m_controller->urlField = m_url->text();
    m_controller->selectedFolderIndex = m_folder->currentIndex();
}

void WebSocketAddEntryDialog::accept() {
    forwardFields();
    // The controller closes the dialog itself, at once or when the site's icon has arrived;
    // the fields stay as they are while it waits.
    m_outcome = QDialog::Accepted;
    m_controller->onAdd();
    if (!m_controller->isClosed() && !m_controller->isAdding()) {
        m_outcome = QDialog::Rejected;
    }
    if (m_controller->isAdding()) {
        for (QWidget* w : findChildren<QWidget*>()) {
            if (qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w) ||
                qobject_cast<QPushButton*>(w)) {
                w->setEnabled(false);
            }
        }
    }
}

void WebSocketAddEntryDialog::reject() {
    if (m_controller->isClosed()) {
        QDialog::reject();
        return;
    }
    m_controller->onCancel();
}

} // namespace keskor
