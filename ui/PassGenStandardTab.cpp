#include "ui/PassGenStandardTab.h"

#include "tools/PassGenStandardTabController.h"
#include "ui/StepperButtons.h"
#include "ui/StrengthReadoutView.h"
#include "ui/UiContext.h"
#include "ui/WidgetSync.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace keskor {

namespace {

QCheckBox* classCheck(const QString& name, const QString& text, QWidget* parent) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(name);
    return box;
}

} // namespace

PassGenStandardTab::PassGenStandardTab(UiContext& ctx, PassGenStandardTabController& controller,
                                       QWidget* parent)
    : QWidget(parent), m_controller(controller),
      m_upper(classCheck(QStringLiteral("standardUpperCheck"),
                         ctx.text(QStringLiteral("pass_gen_uppercase")), this)),
      m_lower(classCheck(QStringLiteral("standardLowerCheck"),
                         ctx.text(QStringLiteral("pass_gen_lowercase")), this)),
      m_special(classCheck(QStringLiteral("standardSpecialCheck"),
                           ctx.text(QStringLiteral("pass_gen_special")), this)),
      m_digits(classCheck(QStringLiteral("standardDigitsCheck"),
                          ctx.text(QStringLiteral("pass_gen_digits")), this)),
      m_length(new QLineEdit(this)),
      m_mouseArea(new QLabel(ctx.text(QStringLiteral("pass_gen_move_mouse")), this)),
      m_password(new QLineEdit(this)),
      m_clear(new QPushButton(ctx.text(QStringLiteral("pass_gen_clear")), this)),
      m_toggle(new QPushButton(this)),
      m_copy(new QPushButton(ctx.text(QStringLiteral("pass_gen_copy")), this)),
      m_readout(new StrengthReadoutView(this)) {
    setObjectName(QStringLiteral("standardTab"));
    // Movements over the tab (its children pass theirs up) drive the generation.
    setMouseTracking(true);
    m_mouseArea->setMouseTracking(true);
    m_mouseArea->setObjectName(QStringLiteral("mouseArea"));
    m_mouseArea->setAlignment(Qt::AlignCenter);
    m_mouseArea->setWordWrap(true);
    m_mouseArea->setFrameShape(QFrame::StyledPanel);
    m_mouseArea->setMinimumHeight(90);
    m_length->setObjectName(QStringLiteral("standardLengthField"));
    m_length->setMaximumWidth(60);
    m_password->setObjectName(QStringLiteral("standardPasswordField"));
    m_clear->setObjectName(QStringLiteral("standardClearButton"));
    m_toggle->setObjectName(QStringLiteral("standardToggleButton"));
    m_copy->setObjectName(QStringLiteral("standardCopyButton"));
    for (QPushButton* b : {m_clear, m_toggle, m_copy}) {
        b->setAutoDefault(false);
    }
    auto* stepper = new StepperButtons(QStringLiteral("standardLengthStepper"), this);

    auto* classes = new QGridLayout;
    classes->addWidget(m_upper, 0, 0);
    classes->addWidget(m_lower, 0, 1);
    classes->addWidget(m_special, 1, 0);
    classes->addWidget(m_digits, 1, 1);
    auto* lengthRow = new QHBoxLayout;
    auto* lengthLabel = new QLabel(ctx.text(QStringLiteral("pass_gen_length")), this);
    lengthLabel->setBuddy(m_length);
    lengthRow->addWidget(lengthLabel);
    lengthRow->addWidget(m_length);
    lengthRow->addWidget(stepper);
    lengthRow->addStretch();
    auto* passwordRow = new QHBoxLayout;
    passwordRow->addWidget(m_password, 1);
    passwordRow->addWidget(m_clear);
    passwordRow->addWidget(m_toggle);
    passwordRow->addWidget(m_copy);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(classes);
    layout->addLayout(lengthRow);
    layout->addWidget(m_mouseArea, 1);
    layout->addLayout(passwordRow);
    layout->addWidget(m_readout);

    const auto onCheck = [this](bool PassGenStandardTabState::*flag) {
        return [this, flag](bool on) {
            m_controller.state().*flag = on;
            m_controller.onTypeCheck();
        };
    };
    connect(m_upper, &QCheckBox::toggled, this, onCheck(&PassGenStandardTabState::uppercaseCheck));
    connect(m_lower, &QCheckBox::toggled, this, onCheck(&PassGenStandardTabState::lowercaseCheck));
    connect(m_special, &QCheckBox::toggled, this, onCheck(&PassGenStandardTabState::specialCheck));
    connect(m_digits, &QCheckBox::toggled, this, onCheck(&PassGenStandardTabState::digitsCheck));
    connect(m_length, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_controller.controlTextDidChange(PassGenStandardTabController::Field::Length, text);
        refresh();
    });
    connect(stepper, &StepperButtons::stepped, this, [this](int step) {
        m_controller.onPassLengthStepper(step);
        refresh();
    });
    connect(m_password, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_controller.controlTextDidChange(PassGenStandardTabController::Field::SecurePassword,
                                          text);
        refresh();
    });
    const std::pair<QPushButton*, int> segments[] = {{m_clear, 0}, {m_toggle, 1}, {m_copy, 2}};
    for (const auto& [button, segment] : segments) {
        connect(button, &QPushButton::clicked, this, [this, segment = segment] {
            m_controller.onPassSegment(segment);
            refresh();
        });
    }
    refresh();
}

void PassGenStandardTab::refresh() {
    const PassGenStandardTabState& s = m_controller.state();
    syncChecked(m_upper, s.uppercaseCheck);
    syncChecked(m_lower, s.lowercaseCheck);
    syncChecked(m_special, s.specialCheck);
    syncChecked(m_digits, s.digitsCheck);
    syncText(m_length, s.lengthField);
    syncText(m_password, s.securePasswordField);
    m_password->setEchoMode(s.showsPlain ? QLineEdit::Normal : QLineEdit::Password);
    m_toggle->setText(s.toggleLabel);
    m_clear->setEnabled(s.clearEnabled);
    m_copy->setEnabled(s.copyEnabled);
    m_readout->display(s.readout);
}

void PassGenStandardTab::mouseMoveEvent(QMouseEvent* event) {
    // The controller counts from the bottom of the window, as the tracking area is measured.
    const QWidget* top = window();
    const double y = mapTo(top, event->position()).y();
    m_controller.mouseMoved(top->height() - y);
    refresh();
    QWidget::mouseMoveEvent(event);
}

} // namespace keskor
