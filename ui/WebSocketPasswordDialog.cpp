#include "ui/WebSocketPasswordDialog.h"

#include "core/shared/SecureBytes.h"
#include "ui/UiContext.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace keskor {

namespace {

QLineEdit* passwordField(const QString& name, QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setEchoMode(QLineEdit::Password);
    return field;
}

} // namespace

WebSocketPasswordDialog::WebSocketPasswordDialog(UiContext& ctx,
                                                 AddonPasswordSettingsController& delegate,
                                                 QWidget* parent)
    : QDialog(parent), m_controller(delegate, ctx.presenter),
      m_current(passwordField(QStringLiteral("currentPassField"), this)),
      m_new(passwordField(QStringLiteral("newPassField"), this)),
      m_confirm(passwordField(QStringLiteral("confirmPassField"), this)) {
    setObjectName(QStringLiteral("webSocketPasswordDialog"));
    setWindowTitle(ctx.text(QStringLiteral("ws_password_title")));
    auto* currentLabel = new QLabel(ctx.text(QStringLiteral("ws_password_current")), this);
    currentLabel->setObjectName(QStringLiteral("currentPassLabel"));
    currentLabel->setBuddy(m_current);
    currentLabel->setEnabled(m_controller.currentPassEnabled);
    m_current->setEnabled(m_controller.currentPassEnabled);
    auto* newLabel = new QLabel(ctx.text(QStringLiteral("ws_password_new")), this);
    newLabel->setBuddy(m_new);
    auto* confirmLabel = new QLabel(ctx.text(QStringLiteral("ws_password_confirm")), this);
    confirmLabel->setBuddy(m_confirm);
    auto* form = new QFormLayout;
    form->addRow(currentLabel, m_current);
    form->addRow(newLabel, m_new);
    form->addRow(confirmLabel, m_confirm);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Ok)->setText(ctx.text(QStringLiteral("dialog_ok")));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    buttons->button(QDialogButtonBox::Cancel)->setText(ctx.text(QStringLiteral("dialog_cancel")));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    (m_controller.currentPassEnabled ? m_current : m_new)->setFocus();
}

void WebSocketPasswordDialog::accept() {
    m_controller.currentPassField = m_current->text();
    m_controller.newPassField = m_new->text();
    m_controller.confirmPassField = m_confirm->text();
    const bool stored = m_controller.onOk();
    // The controller keeps no copy of what was typed longer than the check needs.
    secureWipe(m_controller.currentPassField);
    secureWipe(m_controller.newPassField);
    secureWipe(m_controller.confirmPassField);
    if (stored) {
        QDialog::accept();
    }
}

void WebSocketPasswordDialog::reject() {
    m_controller.onCancel();
    QDialog::reject();
}

} // namespace keskor
