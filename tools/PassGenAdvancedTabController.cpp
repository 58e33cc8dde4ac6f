#include "tools/PassGenAdvancedTabController.h"

#include "core/shared/CommonException.h"
#include "tools/PasswordHelper.h"

#include <QSet>
#include <algorithm>

namespace keskor {

namespace {

std::optional<int> readInt(const QString& text) {
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? std::optional<int>(value) : std::nullopt;
}

int percentOf(const PassGenAdvancedRowState& row) {
    if (!row.checked) {
        return 0;
    }
    return std::clamp(readInt(row.percentField).value_or(0), 0, 100);
}

} // namespace

PassGenAdvancedTabController::PassGenAdvancedTabController(Presenter& presenter, TextLookup text,
                                                           RandomSource& random, CopyCallback copy)
    : m_presenter(presenter), m_text(std::move(text)), m_random(random), m_copy(std::move(copy)) {
    m_state.toggleLabel = m_text(QStringLiteral("show"));
    m_state.readout = PasswordHelper::strengthReadout(QString(), m_text);
    applyEnabled();
}

void PassGenAdvancedTabController::setState(PassGenAdvancedTabState state) {
    m_state = std::move(state);
    applyEnabled();
}

QString PassGenAdvancedTabController::digitsOnly(const QString& text) {
    QString out;
    for (const QChar c : text) {
        if (c >= u'0' && c <= u'9') {
            out += c;
        }
    }
    return out;
}

PasswordGeneratorOption
PassGenAdvancedTabController::collectOption(const PassGenAdvancedTabState& state) {
    PasswordGeneratorOption option;
    if (state.selectedCharsRadio) {
        option.useOnlySelectedChars = true;
        option.useCustomSettings = false;
        option.selectedCharSet = PasswordHelper::characters(state.selectedCharsField);
    } else {
        option.useOnlySelectedChars = false;
        option.useCustomSettings = true;
        option.useAtleastOneOfSelected = state.atLeastOneCheck;
        option.lowercasePercent = percentOf(state.row(PassGenRow::Lower));
        option.uppercasePercent = percentOf(state.row(PassGenRow::Upper));
        option.numbersPercent = percentOf(state.row(PassGenRow::Digits));
        option.specialPercent = percentOf(state.row(PassGenRow::Special));
        option.customCharPercent = percentOf(state.row(PassGenRow::Custom));
        option.customCharSet = PasswordHelper::characters(state.customCharsField);
    }
    option.excludeSimilar = state.excludeSimilarCheck;
    option.excludeIdentical = state.excludeIdenticalCheck;
    option.passwordLength = readInt(state.lengthField).value_or(kDefaultLength);
    return option;
}

bool PassGenAdvancedTabController::validate(const PassGenAdvancedTabState& state) {
    if (state.selectedCharsRadio) {
        const QStringList chars = PasswordHelper::characters(state.selectedCharsField);
        return QSet<QString>(chars.begin(), chars.end()).size() >= kMinDistinctSelected;
    }
    return std::any_of(state.rows.begin(), state.rows.end(),
                       [](const PassGenAdvancedRowState& row) { return row.checked; });
}

void PassGenAdvancedTabController::rebalancePercentages(PassGenAdvancedTabState& state,
                                                        std::optional<PassGenRow> excluded) {
    qint64 sum = 0;
    qint64 others = 0;
    for (std::size_t i = 0; i < state.rows.size(); ++i) {
        const auto& row = state.rows[i];
        if (!row.checked) {
            continue;
        }
        sum += readInt(row.percentField).value_or(0);
        if (!excluded || static_cast<std::size_t>(*excluded) != i) {
            ++others;
        }
    }
    // With no other field to move there is nothing to balance.
    if (sum == 100 || others == 0) {
        return;
    }
    for (std::size_t i = 0; i < state.rows.size(); ++i) {
        auto& row = state.rows[i];
        if (!row.checked || (excluded && static_cast<std::size_t>(*excluded) == i)) {
            continue;
        }
        const qint64 value = readInt(row.percentField).value_or(0);
        const qint64 updated = sum > 100 ? std::max<qint64>(0, value - (sum - 100) / others)
                                         : std::min<qint64>(100, value + (100 - sum) / others);
        row.percentField = QString::number(updated);
    }
}

void PassGenAdvancedTabController::applyEnabled() {
    const bool classes = !m_state.selectedCharsRadio;
    m_state.selectedCharsFieldEnabled = !classes;
    m_state.rowChecksEnabled = classes;
    m_state.atLeastOneEnabled = classes;
    for (auto& row : m_state.rows) {
        row.controlsEnabled = classes && row.checked;
    }
}

void PassGenAdvancedTabController::onTypeRadio(bool selectedChars) {
    m_state.selectedCharsRadio = selectedChars;
    applyEnabled();
}

void PassGenAdvancedTabController::onSettingCheck(PassGenRow row, bool checked) {
    m_state.row(row).checked = checked;
    applyEnabled();
    rebalancePercentages(m_state, std::nullopt);
}

void PassGenAdvancedTabController::onSettingStepper(PassGenRow row, int step) {
    auto& r = m_state.row(row);
    const int value = readInt(r.percentField).value_or(0) + step;
    if (value >= 1 && value <= 99) {
        r.percentField = QString::number(value);
    }
    rebalancePercentages(m_state, std::nullopt);
}

void PassGenAdvancedTabController::onPassLengthStepper(int step) {
    const int value = readInt(m_state.lengthField).value_or(0) + step;
    if (value >= 4 && value <= 255) {
        m_state.lengthField = QString::number(value);
    }
}

void PassGenAdvancedTabController::onGenerateCountStepper(int step) {
    const int value = readInt(m_state.triesField).value_or(0) + step;
    if (value > 0) {
        m_state.triesField = QString::number(value);
    }
}

void PassGenAdvancedTabController::controlTextDidChange(Field field, const QString& text,
                                                        PassGenRow row) {
    switch (field) {
    case Field::Percent:
        m_state.row(row).percentField = digitsOnly(text);
        rebalancePercentages(m_state, row);
        break;
    case Field::Length:
        m_state.lengthField = digitsOnly(text);
        break;
    case Field::Tries:
        m_state.triesField = digitsOnly(text);
        break;
    case Field::SelectedChars:
        m_state.selectedCharsField = text;
        break;
    case Field::CustomChars:
        m_state.customCharsField = text;
        break;
    case Field::SecurePassword:
    case Field::PlainPassword:
        setPassword(text);
        break;
    }
}

bool PassGenAdvancedTabController::onGenerate() {
    if (!validate(m_state)) {
        m_presenter.alert(AlertStyle::warning, UiText::key(QStringLiteral("dialog_warning")),
                          UiText::key(QStringLiteral("pass_generator_error")), {});
        return false;
    }
    const PasswordGeneratorOption option = collectOption(m_state);
    const int tries = readInt(m_state.triesField).value_or(kDefaultTries);
    try {
        setPassword(PasswordHelper::generateBestPassword(option, tries, m_random));
    } catch (const CommonException& e) {
        m_presenter.alert(AlertStyle::warning, UiText::key(QStringLiteral("dialog_warning")),
                          UiText::plain(e.message()), {});
        return false;
    }
    return true;
}

void PassGenAdvancedTabController::onPassSegment(int segment) {
    if (segment == 0) {
        if (!m_state.securePasswordField.isEmpty() && m_copy) {
            m_copy(m_state.securePasswordField);
        }
    } else if (segment == 1) {
        m_state.showsPlain = !m_state.showsPlain;
        m_state.toggleLabel =
            m_text(m_state.showsPlain ? QStringLiteral("hide") : QStringLiteral("show"));
    }
}

void PassGenAdvancedTabController::setPassword(const QString& password) {
    m_state.securePasswordField = password;
    m_state.plainPasswordField = password;
    m_state.readout = PasswordHelper::strengthReadout(password, m_text);
}

} // namespace keskor
