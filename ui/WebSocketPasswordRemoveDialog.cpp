#include "ui/WebSocketPasswordRemoveDialog.h"

#include "core/shared/SecureBytes.h"
#include "ui/UiContext.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace keskor {

WebSocketPasswordRemoveDialog::WebSocketPasswordRemoveDialog(
    UiContext& ctx, AddonPasswordSettingsController& delegate, QWidget* parent)
    : QDialog(parent), m_controller(delegate, ctx.presenter), m_current(new QLineEdit(this)) {
    setObjectName(QStringLiteral("webSocketPasswordRemoveDialog"));
    setWindowTitle(ctx.text(QStringLiteral("ws_password_remove_title")));
    m_current->setObjectName(QStringLiteral("currentPassField"));
    m_current->setEchoMode(QLineEdit::Password);
    auto* explanation = new QLabel(ctx.text(QStringLiteral("ws_password_remove_text")), this);
    explanation->setWordWrap(true);
    auto* label = new QLabel(ctx.text(QStringLiteral("ws_password_current")), this);
    label->setBuddy(m_current);
    auto* form = new QFormLayout;
    form->addRow(label, m_current);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Ok)->setText(ctx.text(QStringLiteral("dialog_ok")));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    buttons->button(QDialogButtonBox::Cancel)->setText(ctx.text(QStringLiteral("dialog_cancel")));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(explanation);
    layout->addLayout(form);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_current->setFocus();
}

void WebSocketPasswordRemoveDialog::accept() {
    m_controller.currentPassField = m_current->text();
    const bool removed = m_controller.onOk();
    secureWipe(m_controller.currentPassField);
    if (removed) {
        QDialog::accept();
    }
}

void WebSocketPasswordRemoveDialog::reject() {
    m_controller.onCancel();
    QDialog::reject();
}

} // namespace keskor
