#include "ui/PassGenAdvancedTab.h"

#include "tools/PassGenAdvancedTabController.h"
#include "ui/StepperButtons.h"
#include "ui/StrengthReadoutView.h"
#include "ui/UiContext.h"
#include "ui/WidgetSync.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace keskor {

namespace {

using Field = PassGenAdvancedTabController::Field;

struct RowSpec {
    PassGenRow row;
    const char* name;
    const char* textKey;
};

// In the order of PassGenRow, which is the order the tab lists the rows.
constexpr RowSpec kRows[] = {
    {PassGenRow::Lower, "lower", "pass_gen_lowercase"},
    {PassGenRow::Upper, "upper", "pass_gen_uppercase"},
    {PassGenRow::Digits, "digits", "pass_gen_digits"},
    {PassGenRow::Special, "special", "pass_gen_special"},
    {PassGenRow::Custom, "custom", "pass_gen_custom"},
};

template <typename W> W* named(W* widget, const QString& name) {
    widget->setObjectName(name);
    return widget;
}

QHBoxLayout* numberRow(QLineEdit* field, StepperButtons* stepper) {
    auto* row = new QHBoxLayout;
    field->setMaximumWidth(60);
    row->addWidget(field);
    row->addWidget(stepper);
    row->addStretch();
    return row;
}

// A label whose mnemonic moves the focus to `field`.
QLabel* buddyLabel(const QString& text, QWidget* field) {
    auto* label = new QLabel(text, field->parentWidget());
    label->setBuddy(field);
    return label;
}

} // namespace

PassGenAdvancedTab::PassGenAdvancedTab(UiContext& ctx, PassGenAdvancedTabController& controller,
                                       QWidget* parent)
    : QWidget(parent), m_controller(controller),
      m_selectedRadio(
          named(new QRadioButton(ctx.text(QStringLiteral("pass_gen_selected_chars")), this),
                QStringLiteral("selectedCharsRadio"))),
      m_classesRadio(
          named(new QRadioButton(ctx.text(QStringLiteral("pass_gen_class_settings")), this),
                QStringLiteral("classSettingsRadio"))),
      m_selectedChars(named(new QLineEdit(this), QStringLiteral("selectedCharsField"))),
      m_classesBox(named(new QGroupBox(this), QStringLiteral("classSettingsBox"))),
      m_customChars(named(new QLineEdit(this), QStringLiteral("customCharsField"))),
      m_atLeastOne(named(new QCheckBox(ctx.text(QStringLiteral("pass_gen_at_least_one")), this),
                         QStringLiteral("atLeastOneCheck"))),
      m_excludeSimilar(
          named(new QCheckBox(ctx.text(QStringLiteral("pass_gen_exclude_similar")), this),
                QStringLiteral("excludeSimilarCheck"))),
      m_excludeIdentical(
          named(new QCheckBox(ctx.text(QStringLiteral("pass_gen_exclude_identical")), this),
                QStringLiteral("excludeIdenticalCheck"))),
      m_length(named(new QLineEdit(this), QStringLiteral("advancedLengthField"))),
      m_tries(named(new QLineEdit(this), QStringLiteral("triesField"))),
      m_generate(named(new QPushButton(ctx.text(QStringLiteral("pass_gen_generate")), this),
                       QStringLiteral("generateButton"))),
      m_password(named(new QLineEdit(this), QStringLiteral("advancedPasswordField"))),
      m_copy(named(new QPushButton(ctx.text(QStringLiteral("pass_gen_copy")), this),
                   QStringLiteral("advancedCopyButton"))),
      m_toggle(named(new QPushButton(this), QStringLiteral("advancedToggleButton"))),
      m_readout(new StrengthReadoutView(this)) {
    setObjectName(QStringLiteral("advancedTab"));
    for (QPushButton* b : {m_generate, m_copy, m_toggle}) {
        b->setAutoDefault(false);
    }
    buildRows(ctx);

    auto* lengthStepper = new StepperButtons(QStringLiteral("advancedLengthStepper"), this);
    auto* triesStepper = new StepperButtons(QStringLiteral("triesStepper"), this);
    auto* options = new QFormLayout;
    options->addRow(m_excludeSimilar);
    options->addRow(m_excludeIdentical);
    options->addRow(buddyLabel(ctx.text(QStringLiteral("pass_gen_length")), m_length),
                    numberRow(m_length, lengthStepper));
    options->addRow(buddyLabel(ctx.text(QStringLiteral("pass_gen_tries")), m_tries),
                    numberRow(m_tries, triesStepper));
    auto* passwordRow = new QHBoxLayout;
    passwordRow->addWidget(m_password, 1);
    passwordRow->addWidget(m_toggle);
    passwordRow->addWidget(m_copy);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_selectedRadio);
    layout->addWidget(m_selectedChars);
    layout->addWidget(m_classesRadio);
    layout->addWidget(m_classesBox);
    layout->addLayout(options);
    layout->addWidget(m_generate, 0, Qt::AlignLeft);
    layout->addLayout(passwordRow);
    layout->addWidget(m_readout);

    connect(m_selectedRadio, &QRadioButton::toggled, this, [this](bool on) {
        m_controller.onTypeRadio(on);
        refresh();
    });
    connect(m_selectedChars, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_controller.controlTextDidChange(Field::SelectedChars, text);
    });
    connect(m_customChars, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_controller.controlTextDidChange(Field::CustomChars, text);
    });
    connect(m_atLeastOne, &QCheckBox::toggled, this,
            [this](bool on) { setOptionCheck(&PassGenAdvancedTabState::atLeastOneCheck, on); });
    connect(m_excludeSimilar, &QCheckBox::toggled, this,
            [this](bool on) { setOptionCheck(&PassGenAdvancedTabState::excludeSimilarCheck, on); });
    connect(m_excludeIdentical, &QCheckBox::toggled, this, [this](bool on) {
        setOptionCheck(&PassGenAdvancedTabState::excludeIdenticalCheck, on);
    });
    connect(m_length, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_controller.controlTextDidChange(Field::Length, text);
        refresh();
    });
    connect(m_tries, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_controller.controlTextDidChange(Field::Tries, text);
        refresh();
    });
    connect(lengthStepper, &StepperButtons::stepped, this, [this](int step) {
        m_controller.onPassLengthStepper(step);
        refresh();
    });
    connect(triesStepper, &StepperButtons::stepped, this, [this](int step) {
        m_controller.onGenerateCountStepper(step);
        refresh();
    });
    connect(m_generate, &QPushButton::clicked, this, [this] {
        m_controller.onGenerate();
        refresh();
    });
    connect(m_password, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_controller.controlTextDidChange(Field::SecurePassword, text);
        refresh();
    });
    connect(m_copy, &QPushButton::clicked, this, [this] { m_controller.onPassSegment(0); });
    connect(m_toggle, &QPushButton::clicked, this, [this] {
        m_controller.onPassSegment(1);
        refresh();
    });
    refresh();
}

void PassGenAdvancedTab::buildRows(UiContext& ctx) {
    auto* grid = new QGridLayout(m_classesBox);
    int line = 0;
    for (const RowSpec& rowDef : kRows) {
        const QString name = QLatin1String(rowDef.name);
        Row& row = m_rows[static_cast<std::size_t>(rowDef.row)];
        row.check = named(new QCheckBox(ctx.text(QLatin1String(rowDef.textKey)), m_classesBox),
                          name + QStringLiteral("RowCheck"));
        row.percent = named(new QLineEdit(m_classesBox), name + QStringLiteral("PercentField"));
        row.percent->setMaximumWidth(50);
        row.stepper = new StepperButtons(name + QStringLiteral("PercentStepper"), m_classesBox);
        grid->addWidget(row.check, line, 0);
        grid->addWidget(row.percent, line, 1);
        grid->addWidget(row.stepper, line, 2);
        grid->addWidget(new QLabel(QStringLiteral("%"), m_classesBox), line, 3);
        ++line;
        const PassGenRow r = rowDef.row;
        connect(row.check, &QCheckBox::toggled, this, [this, r](bool on) {
            m_controller.onSettingCheck(r, on);
            refresh();
        });
        connect(row.percent, &QLineEdit::textEdited, this, [this, r](const QString& text) {
            m_controller.controlTextDidChange(Field::Percent, text, r);
            refresh();
        });
        connect(row.stepper, &StepperButtons::stepped, this, [this, r](int step) {
            m_controller.onSettingStepper(r, step);
            refresh();
        });
    }
    grid->setColumnStretch(4, 1);
    grid->addWidget(m_customChars, line, 0, 1, 4);
    grid->addWidget(m_atLeastOne, line + 1, 0, 1, 4);
}

void PassGenAdvancedTab::setOptionCheck(bool PassGenAdvancedTabState::*flag, bool on) {
    PassGenAdvancedTabState state = m_controller.state();
    state.*flag = on;
    m_controller.setState(std::move(state));
}

void PassGenAdvancedTab::refresh() {
    const PassGenAdvancedTabState& s = m_controller.state();
    {
        // The pair is exclusive: checking one unchecks the other.
        const QSignalBlocker blockSelected(m_selectedRadio);
        const QSignalBlocker blockClasses(m_classesRadio);
        (s.selectedCharsRadio ? m_selectedRadio : m_classesRadio)->setChecked(true);
    }
    syncText(m_selectedChars, s.selectedCharsField);
    m_selectedChars->setEnabled(s.selectedCharsFieldEnabled);
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const Row& row = m_rows[i];
        syncChecked(row.check, s.rows[i].checked);
        row.check->setEnabled(s.rowChecksEnabled);
        syncText(row.percent, s.rows[i].percentField);
        row.percent->setEnabled(s.rows[i].controlsEnabled);
        row.stepper->setEnabled(s.rows[i].controlsEnabled);
    }
    syncText(m_customChars, s.customCharsField);
    m_customChars->setEnabled(s.row(PassGenRow::Custom).controlsEnabled);
    syncChecked(m_atLeastOne, s.atLeastOneCheck);
    m_atLeastOne->setEnabled(s.atLeastOneEnabled);
    syncChecked(m_excludeSimilar, s.excludeSimilarCheck);
    syncChecked(m_excludeIdentical, s.excludeIdenticalCheck);
    syncText(m_length, s.lengthField);
    syncText(m_tries, s.triesField);
    syncText(m_password, s.securePasswordField);
    m_password->setEchoMode(s.showsPlain ? QLineEdit::Normal : QLineEdit::Password);
    m_toggle->setText(s.toggleLabel);
    m_copy->setEnabled(!s.securePasswordField.isEmpty());
    m_readout->display(s.readout);
}

} // namespace keskor
