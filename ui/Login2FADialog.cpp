#include "ui/Login2FADialog.h"

#include "ui/UiContext.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace keskor {

Login2FADialog::Login2FADialog(UiContext& ctx, EnterpriseStorage& storage, bool trust,
                               const QString& description, QWidget* parent)
    : QDialog(parent), m_controller(storage, ctx.presenter), m_code(new QLineEdit(this)),
      m_trust(new QCheckBox(ctx.text(QStringLiteral("enterprise_2fa_trust")), this)) {
    setObjectName(QStringLiteral("login2FADialog"));
    setWindowTitle(ctx.text(QStringLiteral("enterprise_2fa_title")));
    auto* text = new QLabel(
        description.isEmpty() ? ctx.text(QStringLiteral("enterprise_2fa_enter_code")) : description,
        this);
    text->setWordWrap(true);
    m_code->setObjectName(QStringLiteral("codeField"));
    m_code->setInputMethodHints(Qt::ImhDigitsOnly);
    m_trust->setObjectName(QStringLiteral("trustCheck"));
    m_trust->setChecked(trust);
    m_controller.setTrust(trust);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(ctx.text(QStringLiteral("dialog_ok")));
    buttons->button(QDialogButtonBox::Cancel)->setText(ctx.text(QStringLiteral("dialog_cancel")));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(m_code);
    layout->addWidget(m_trust);
    layout->addWidget(buttons);
    connect(m_trust, &QCheckBox::toggled, this, [this](bool on) { m_controller.setTrust(on); });
    connect(buttons, &QDialogButtonBox::accepted, this,
            [this] { m_controller.confirm(m_code->text()); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_controller.setView({[this] { accept(); }});
}

} // namespace keskor
