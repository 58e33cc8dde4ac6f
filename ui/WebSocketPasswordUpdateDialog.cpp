#include "ui/WebSocketPasswordUpdateDialog.h"

#include "core/AppDelegate.h"
#include "core/DatabaseController.h"
#include "core/ItemActions.h"
#include "core/shared/PassFile.h"
#include "platform/NotificationCenter.h"
#include "platform/NotificationNames.h"
#include "ui/EntryIcons.h"
#include "ui/UiContext.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace keskor {

namespace {

WebSocketPasswordUpdateViewController::Hooks hooksFor(UiContext& ctx, std::function<void()> close) {
    WebSocketPasswordUpdateViewController::Hooks hooks;
    hooks.save = [&ctx] {
        if (PassFile* file = ctx.items.database()) {
            file->setModified(true);
        }
        ctx.app.databases().saveSession(false);
    };
    // The window, the detail pane and the bridge all follow this notification.
    hooks.refresh = [&ctx](const Info2Item&) {
        ctx.notifications.post(NotificationNames::EntryDidChanged);
    };
    hooks.close = std::move(close);
    return hooks;
}

} // namespace

WebSocketPasswordUpdateDialog::WebSocketPasswordUpdateDialog(UiContext& ctx,
                                                             std::shared_ptr<Info2Item> entry,
                                                             const QString& password,
                                                             QWidget* parent)
    : QDialog(parent),
      m_controller(ctx.presenter, ctx.clock, hooksFor(ctx, [this] { done(m_outcome); })),
      m_password(new QLineEdit(this)), m_confirm(new QLineEdit(this)) {
    setObjectName(QStringLiteral("webSocketPasswordUpdateDialog"));
    setWindowTitle(ctx.text(QStringLiteral("ws_update_title")));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    const std::shared_ptr<Info2Item> owner = entry;
    m_controller.configure(std::move(entry), password);

    auto* icon = new QLabel(this);
    icon->setPixmap(EntryIcons::of(*owner).pixmap(32, 32));
    auto* description = new QLabel(m_controller.descriptionLabel, this);
    description->setObjectName(QStringLiteral("descriptionLabel"));
    QFont bold = description->font();
    bold.setBold(true);
    description->setFont(bold);
    auto* userName = new QLabel(m_controller.usernameLabel, this);
    userName->setObjectName(QStringLiteral("usernameLabel"));
    auto* names = new QVBoxLayout;
    names->addWidget(description);
    names->addWidget(userName);
    auto* header = new QHBoxLayout;
    header->addWidget(icon);
    header->addLayout(names, 1);

    for (QLineEdit* field : {m_password, m_confirm}) {
        field->setEchoMode(QLineEdit::Password);
    }
    m_password->setObjectName(QStringLiteral("passField"));
    m_password->setText(m_controller.passField);
    m_confirm->setObjectName(QStringLiteral("confirmField"));
    m_confirm->setText(m_controller.confirmField);
    auto* form = new QFormLayout;
    const auto row = [&](const char* key, QLineEdit* field) {
        auto* label = new QLabel(ctx.text(QLatin1String(key)), this);
        label->setBuddy(field);
        form->addRow(label, field);
    };
    row("ws_password_new", m_password);
    row("ws_password_confirm", m_confirm);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* update = buttons->addButton(ctx.text(QStringLiteral("ws_update_button")),
                                             QDialogButtonBox::AcceptRole);
    update->setObjectName(QStringLiteral("updateButton"));
    update->setDefault(true);
    QPushButton* cancel =
        buttons->addButton(ctx.text(QStringLiteral("dialog_cancel")), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* explanation = new QLabel(ctx.text(QStringLiteral("ws_update_text")), this);
    explanation->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addWidget(explanation);
    layout->addLayout(form);
    layout->addWidget(buttons);
    m_password->setFocus();
}

void WebSocketPasswordUpdateDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_controller.viewDidLoad();
}

void WebSocketPasswordUpdateDialog::accept() {
    m_controller.passField = m_password->text();
    m_controller.confirmField = m_confirm->text();
    m_outcome = QDialog::Accepted;
    m_controller.onUpdate();
    m_outcome = QDialog::Rejected;
}

void WebSocketPasswordUpdateDialog::reject() {
    if (m_controller.isClosed()) {
        QDialog::reject();
        return;
    }
    m_controller.onCancel();
}

} // namespace keskor
