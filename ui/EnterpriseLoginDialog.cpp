#include "ui/EnterpriseLoginDialog.h"

#include "ui/UiContext.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>

namespace keskor {

EnterpriseLoginDialog::EnterpriseLoginDialog(UiContext& ctx, EnterpriseStorage& storage,
                                             EnterpriseLoginViewController::Method method,
                                             QWidget* parent)
    : QDialog(parent), m_controller(storage, ctx.presenter, method), m_address(new QLineEdit(this)),
      m_port(new QLineEdit(this)), m_userName(new QLineEdit(this)), m_password(new QLineEdit(this)),
      m_version(new QComboBox(this)),
      m_ssl(new QCheckBox(ctx.text(QStringLiteral("enterprise_ssl_box")), this)) {
    setObjectName(QStringLiteral("enterpriseLoginDialog"));
    setWindowTitle(ctx.text(QStringLiteral("enterprise_login_title")));
    m_address->setObjectName(QStringLiteral("addressField"));
    m_port->setObjectName(QStringLiteral("portField"));
    m_port->setPlaceholderText(QStringLiteral("25016"));
    m_userName->setObjectName(QStringLiteral("userNameField"));
    m_password->setObjectName(QStringLiteral("passwordField"));
    m_password->setEchoMode(QLineEdit::Password);
    m_version->setObjectName(QStringLiteral("versionSelector"));
    m_version->addItems(EnterpriseLoginViewController::versionTitles());
    m_ssl->setObjectName(QStringLiteral("sslCheck"));

    const EnterpriseLoginViewController::Input initial = m_controller.initialInput();
    m_address->setText(initial.address);
    m_port->setText(initial.port);
    m_userName->setText(initial.userName);
    m_version->setCurrentIndex(initial.version);
    m_ssl->setChecked(initial.useSSL);

    auto* form = new QFormLayout(this);
    form->addRow(ctx.text(QStringLiteral("enterprise_server_address")), m_address);
    form->addRow(ctx.text(QStringLiteral("enterprise_server_port")), m_port);
    // The Azure account names the user; no password is typed here.
    if (method == EnterpriseLoginViewController::Method::standard) {
        form->addRow(ctx.text(QStringLiteral("enterprise_user_name")), m_userName);
        form->addRow(ctx.text(QStringLiteral("enterprise_password")), m_password);
    } else {
        m_userName->hide();
        m_password->hide();
    }
    form->addRow(ctx.text(QStringLiteral("enterprise_server_version")), m_version);
    form->addRow(QString(), m_ssl);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Ok)->setText(ctx.text(QStringLiteral("dialog_ok")));
    buttons->button(QDialogButtonBox::Cancel)->setText(ctx.text(QStringLiteral("dialog_cancel")));
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { m_controller.ok(input()); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_controller.setView({[this] { accept(); }});
    resize(420, sizeHint().height());
}

EnterpriseLoginViewController::Input EnterpriseLoginDialog::input() const {
    return {m_address->text().trimmed(), m_port->text().trimmed(),  m_userName->text().trimmed(),
            m_password->text(),          m_version->currentIndex(), m_ssl->isChecked()};
}

} // namespace keskor
