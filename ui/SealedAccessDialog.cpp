#include "ui/SealedAccessDialog.h"

#include "core/shared/Info2Item.h"
#include "ui/UiContext.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace keskor {

SealedAccessDialog::SealedAccessDialog(UiContext& ctx, EnterpriseStorage& storage,
                                       const PassFile& database, std::shared_ptr<Info2Item> owner,
                                       QWidget* parent)
    : QDialog(parent), m_controller(storage, ctx.presenter, database, owner),
      m_reasonText(new QPlainTextEdit(this)),
      m_requestButton(new QPushButton(ctx.text(QStringLiteral("sealed_access_request")), this)) {
    setObjectName(QStringLiteral("sealedAccessDialog"));
    setWindowTitle(ctx.text(QStringLiteral("sealed_access_title")));
    auto* text = new QLabel(ctx.text(QStringLiteral("sealed_access_reason"))
                                .arg(owner ? owner->description() : QString()),
                            this);
    text->setWordWrap(true);
    m_reasonText->setObjectName(QStringLiteral("reasonText"));
    m_requestButton->setObjectName(QStringLiteral("requestButton"));
    m_requestButton->setEnabled(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(ctx.text(QStringLiteral("dialog_cancel")));
    buttons->addButton(m_requestButton, QDialogButtonBox::ActionRole);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(m_reasonText, 1);
    layout->addWidget(buttons);
    connect(m_reasonText, &QPlainTextEdit::textChanged, this, [this] {
        m_requestButton->setEnabled(
            SealedAccessViewController::canRequest(m_reasonText->toPlainText()));
    });
    connect(m_requestButton, &QPushButton::clicked, this,
            [this] { m_controller.request(m_reasonText->toPlainText()); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    m_controller.setView({[this] { accept(); }});
    resize(420, 260);
}

} // namespace keskor
