#include "ui/PasswordGeneratorDialog.h"

#include "core/ClipboardHelper.h"
#include "ui/PassGenAdvancedTab.h"
#include "ui/PassGenStandardTab.h"
#include "ui/UiContext.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace keskor {

namespace {

PasswordGeneratorViewController::Target
orClipboard(UiContext& ctx, PasswordGeneratorViewController::Target target) {
    if (target) {
        return target;
    }
    return [&ctx](const QString& password) {
        ctx.clipboard.copyToClipboard(password, true);
        return true;
    };
}

} // namespace

PasswordGeneratorDialog::PasswordGeneratorDialog(UiContext& ctx,
                                                 PasswordGeneratorViewController::Target target,
                                                 QWidget* parent)
    : QDialog(parent),
      m_controller(
          ctx.presenter, ctx.text, ctx.random, orClipboard(ctx, std::move(target)),
          [&ctx](const QString& password) { ctx.clipboard.copyToClipboard(password, true); }),
      m_tabs(new QTabWidget(this)),
      m_standard(new PassGenStandardTab(ctx, m_controller.standardTab(), m_tabs)),
      m_advanced(new PassGenAdvancedTab(ctx, m_controller.advancedTab(), m_tabs)) {
    setObjectName(QStringLiteral("passwordGeneratorDialog"));
    setWindowTitle(ctx.text(QStringLiteral("pass_gen_title")));
    m_tabs->setObjectName(QStringLiteral("tabs"));
    m_tabs->addTab(m_standard, ctx.text(QStringLiteral("pass_gen_tab_standard")));
    m_tabs->addTab(m_advanced, ctx.text(QStringLiteral("pass_gen_tab_advanced")));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Ok)->setText(ctx.text(QStringLiteral("dialog_ok")));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    buttons->button(QDialogButtonBox::Cancel)->setText(ctx.text(QStringLiteral("dialog_cancel")));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int index) {
        m_controller.selectTab(static_cast<PasswordGeneratorViewController::Tab>(index));
    });
}

void PasswordGeneratorDialog::accept() {
    m_controller.onOk();
    if (m_controller.isClosed()) {
        QDialog::accept();
    }
}

void PasswordGeneratorDialog::reject() {
    m_controller.onCancel();
    QDialog::reject();
}

} // namespace keskor
