#include "ui/KeyGeneratorDialog.h"

#include "ui/UiContext.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>

namespace keskor {

KeyGeneratorDialog::KeyGeneratorDialog(UiContext& ctx,
                                       KeyGeneratorViewController::Delegate delegate,
                                       QWidget* parent)
    : QDialog(parent), m_controller(ctx.presenter, std::move(delegate)),
      m_progress(new QProgressBar(this)), m_key(new QPlainTextEdit(this)),
      m_file(new QLineEdit(this)),
      m_refresh(new QPushButton(ctx.text(QStringLiteral("key_gen_refresh")), this)),
      m_save(new QPushButton(ctx.text(QStringLiteral("key_gen_save")), this)), m_ok(nullptr) {
    setObjectName(QStringLiteral("keyGeneratorDialog"));
    setWindowTitle(ctx.text(m_controller.state().title));
    // Movements anywhere over the dialog fill the bar; its children pass theirs up.
    setMouseTracking(true);
    m_progress->setObjectName(QStringLiteral("progressBar"));
    m_progress->setRange(0, static_cast<int>(KeyGeneratorViewController::kProgressFull));
    m_progress->setTextVisible(false);
    m_key->setObjectName(QStringLiteral("keyField"));
    m_key->setReadOnly(true);
    m_key->setMouseTracking(true);
    m_key->viewport()->setMouseTracking(true);
    m_key->setFixedHeight(80);
    m_file->setObjectName(QStringLiteral("fileField"));
    m_file->setReadOnly(true);
    m_refresh->setObjectName(QStringLiteral("refreshButton"));
    m_save->setObjectName(QStringLiteral("saveButton"));
    m_refresh->setAutoDefault(false);
    m_save->setAutoDefault(false);

    auto* hint = new QLabel(ctx.text(QStringLiteral("key_gen_move_mouse")), this);
    hint->setWordWrap(true);
    auto* form = new QFormLayout;
    form->addRow(ctx.text(QStringLiteral("key_gen_key")), m_key);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(m_file, 1);
    fileRow->addWidget(m_save);
    form->addRow(ctx.text(QStringLiteral("key_gen_file")), fileRow);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setObjectName(QStringLiteral("okButton"));
    m_ok->setText(ctx.text(QStringLiteral("dialog_ok")));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    buttons->button(QDialogButtonBox::Cancel)->setText(ctx.text(QStringLiteral("dialog_cancel")));
    buttons->addButton(m_refresh, QDialogButtonBox::ResetRole);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(hint);
    layout->addWidget(m_progress);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_refresh, &QPushButton::clicked, this, [this] {
        m_controller.onRefresh();
        refresh();
    });
    connect(m_save, &QPushButton::clicked, this, [this] {
        m_controller.onSave();
        refresh();
    });
    refresh();
}

void KeyGeneratorDialog::refresh() {
    const KeyGeneratorState& s = m_controller.state();
    m_progress->setValue(static_cast<int>(
        std::lround(std::min(s.progress, KeyGeneratorViewController::kProgressFull))));
    if (m_key->toPlainText() != s.keyField) {
        m_key->setPlainText(s.keyField);
    }
    m_file->setText(s.fileField);
    m_ok->setEnabled(s.okEnabled);
}

void KeyGeneratorDialog::mouseMoveEvent(QMouseEvent* event) {
    m_controller.mouseMoved();
    refresh();
    QDialog::mouseMoveEvent(event);
}

void KeyGeneratorDialog::accept() {
    m_controller.onOk();
    if (m_controller.isClosed()) {
        QDialog::accept();
    }
}

void KeyGeneratorDialog::reject() {
    m_controller.onCancel();
    QDialog::reject();
}

} // namespace keskor
