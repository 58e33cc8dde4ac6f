#include "ui/PartialBuilderDialog.h"

#include "core/ClipboardHelper.h"
#include "ui/UiContext.h"
#include "ui/WidgetSync.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace keskor {

PartialBuilderDialog::PartialBuilderDialog(UiContext& ctx, const QString& password, QWidget* parent)
    : QDialog(parent), m_controller(password,
                                    [&ctx](const QString& partial) {
                                        ctx.clipboard.copyToClipboard(partial, true);
                                    }),
      m_visible(new QCheckBox(ctx.text(QStringLiteral("partial_visible")), this)),
      m_partial(new QLineEdit(this)) {
    setObjectName(QStringLiteral("partialBuilderDialog"));
    setWindowTitle(ctx.text(QStringLiteral("partial_title")));
    m_visible->setObjectName(QStringLiteral("visibleCheck"));
    m_partial->setObjectName(QStringLiteral("partialField"));
    m_partial->setReadOnly(true);

    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("cellsArea"));
    scroll->setWidget(buildCells());
    scroll->setWidgetResizable(true);
    scroll->setMinimumHeight(std::min(m_controller.containerHeight(), 8 * 35) + 4);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    auto* copy =
        buttons->addButton(ctx.text(QStringLiteral("partial_copy")), QDialogButtonBox::AcceptRole);
    copy->setObjectName(QStringLiteral("copyButton"));
    copy->setDefault(true);
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    buttons->button(QDialogButtonBox::Cancel)->setText(ctx.text(QStringLiteral("dialog_cancel")));
    auto* result = new QFormLayout;
    result->addRow(ctx.text(QStringLiteral("partial_result")), m_partial);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scroll, 1);
    layout->addWidget(m_visible);
    layout->addLayout(result);
    layout->addWidget(buttons);

    connect(m_visible, &QCheckBox::toggled, this, [this](bool on) {
        m_controller.setVisible(on);
        refresh();
    });
    connect(copy, &QPushButton::clicked, this, [this] {
        m_controller.onCopyToClipboard();
        if (m_controller.isClosed()) {
            accept();
        }
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    refresh();
}

QWidget* PartialBuilderDialog::buildCells() {
    auto* container = new QWidget;
    auto* grid = new QGridLayout(container);
    const QList<PartialBuilderCell>& cells = m_controller.cells();
    for (int i = 0; i < cells.size(); ++i) {
        auto* position = new QLabel(QString::number(cells.at(i).position), container);
        auto* label = new QLabel(container);
        label->setObjectName(QStringLiteral("cellLabel%1").arg(i + 1));
        auto* check = new QCheckBox(container);
        check->setObjectName(QStringLiteral("cellCheck%1").arg(i + 1));
        grid->addWidget(position, i, 0);
        grid->addWidget(label, i, 1);
        grid->addWidget(check, i, 2);
        grid->setRowMinimumHeight(i, PartialBuilderViewController::kCellHeight);
        m_labels.append(label);
        m_checks.append(check);
        connect(check, &QCheckBox::toggled, this, [this, i](bool on) {
            m_controller.setChecked(i, on);
            refresh();
        });
    }
    grid->setRowStretch(static_cast<int>(cells.size()), 1);
    return container;
}

void PartialBuilderDialog::refresh() {
    const QList<PartialBuilderCell>& cells = m_controller.cells();
    for (int i = 0; i < cells.size(); ++i) {
        m_labels[i]->setText(cells.at(i).label);
        syncChecked(m_checks[i], cells.at(i).checked);
    }
    syncChecked(m_visible, m_controller.isVisible());
    m_partial->setText(m_controller.partialPassword());
    m_partial->setEchoMode(m_controller.isVisible() ? QLineEdit::Normal : QLineEdit::Password);
}

void PartialBuilderDialog::reject() {
    m_controller.onCancel();
    QDialog::reject();
}

} // namespace keskor
