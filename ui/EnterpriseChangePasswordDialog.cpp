#include "ui/EnterpriseChangePasswordDialog.h"

#include "ui/UiContext.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace keskor {

EnterpriseChangePasswordDialog::EnterpriseChangePasswordDialog(UiContext& ctx,
                                                               EnterpriseStorage& storage,
                                                               QWidget* parent)
    : QDialog(parent), m_controller(storage, ctx.presenter), m_new(new QLineEdit(this)),
      m_repeat(new QLineEdit(this)) {
    setObjectName(QStringLiteral("enterpriseChangePasswordDialog"));
    setWindowTitle(ctx.text(QStringLiteral("enterprise_change_password_title")));
    m_new->setObjectName(QStringLiteral("newPasswordField"));
    m_new->setEchoMode(QLineEdit::Password);
    m_repeat->setObjectName(QStringLiteral("repeatPasswordField"));
    m_repeat->setEchoMode(QLineEdit::Password);
    auto* text = new QLabel(ctx.text(QStringLiteral("enterprise_change_password_text")), this);
    text->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(ctx.text(QStringLiteral("dialog_ok")));
    buttons->button(QDialogButtonBox::Cancel)->setText(ctx.text(QStringLiteral("dialog_cancel")));
    auto* form = new QFormLayout(this);
    form->addRow(text);
    form->addRow(ctx.text(QStringLiteral("enterprise_new_password")), m_new);
    form->addRow(ctx.text(QStringLiteral("enterprise_repeat_password")), m_repeat);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this,
            [this] { m_controller.change(m_new->text(), m_repeat->text()); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_controller.setView({[this] { accept(); }});
}

} // namespace keskor
