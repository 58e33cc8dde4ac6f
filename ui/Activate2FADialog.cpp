#include "ui/Activate2FADialog.h"

#include "ui/UiContext.h"

#include <QDialogButtonBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace keskor {

Activate2FADialog::Activate2FADialog(UiContext& ctx, EnterpriseStorage& storage,
                                     const QString& secret, const QByteArray& qrCode,
                                     QWidget* parent)
    : QDialog(parent), m_controller(storage, ctx.presenter), m_code(new QLineEdit(this)) {
    setObjectName(QStringLiteral("activate2FADialog"));
    setWindowTitle(ctx.text(QStringLiteral("enterprise_2fa_title")));
    m_controller.setSecret(secret, qrCode);
    auto* text = new QLabel(ctx.text(QStringLiteral("enterprise_2fa_activate_text")), this);
    text->setWordWrap(true);
    auto* image = new QLabel(this);
    image->setObjectName(QStringLiteral("qrImage"));
    image->setAlignment(Qt::AlignCenter);
    QImage qr;
    if (qr.loadFromData(qrCode)) {
        // Scaled without smoothing so the modules stay sharp for the camera.
        image->setPixmap(QPixmap::fromImage(qr.scaled(200, 200, Qt::KeepAspectRatio)));
    }
    auto* secretText = new QLabel(secret, this);
    secretText->setObjectName(QStringLiteral("secretLabel"));
    secretText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    secretText->setAlignment(Qt::AlignCenter);
    m_code->setObjectName(QStringLiteral("codeField"));
    m_code->setPlaceholderText(ctx.text(QStringLiteral("enterprise_2fa_enter_code")));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(ctx.text(QStringLiteral("dialog_ok")));
    buttons->button(QDialogButtonBox::Cancel)->setText(ctx.text(QStringLiteral("dialog_cancel")));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(image);
    layout->addWidget(secretText);
    layout->addWidget(m_code);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this,
            [this] { m_controller.activate(m_code->text()); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_controller.setView({[this] { accept(); }});
}

} // namespace keskor
