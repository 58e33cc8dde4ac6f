#pragma once
// The logic of the generator's advanced tab without its widgets: the tab hands in what the user
// did and shows the state handed back (field texts, enabled controls, the password and its
// strength read-out). Failures are shown through the presenter; copying goes through the
// callback the dialog is given (the clipboard helper arms the clearing).

#include "platform/Presenter.h"
#include "tools/PasswordGeneratorOption.h"
#include "tools/RandomSource.h"
#include "tools/StrengthReadout.h"
#include "tools/TextLookup.h"

#include <QString>
#include <array>
#include <functional>
#include <optional>

namespace keskor {

/// The class rows, in the order the tab lists and rebalances them (the tags of their controls).
enum class PassGenRow : int { Lower = 0, Upper = 1, Digits = 2, Special = 3, Custom = 4 };

struct PassGenAdvancedRowState {
    bool checked = true;
    QString percentField = QStringLiteral("25");
    /// The row's field and stepper follow its check box and the mode.
    bool controlsEnabled = true;
};

struct PassGenAdvancedTabState {
    /// The selected-characters radio; the class-settings radio is its opposite.
    bool selectedCharsRadio = false;
    QString selectedCharsField;
    bool selectedCharsFieldEnabled = false;

    std::array<PassGenAdvancedRowState, 5> rows{{
        {true, QStringLiteral("25"), true},
        {true, QStringLiteral("25"), true},
        {true, QStringLiteral("25"), true},
        {true, QStringLiteral("25"), true},
        {false, QStringLiteral("0"), false},
    }};
    QString customCharsField = QStringLiteral("ÄäÖöÜüß");
    /// The check boxes of the class-settings box.
    bool rowChecksEnabled = true;
    bool atLeastOneCheck = false;
    bool atLeastOneEnabled = true;

    bool excludeSimilarCheck = false;
    bool excludeIdenticalCheck = false;
    QString lengthField = QStringLiteral("24");
    QString triesField = QStringLiteral("10");

    /// The secure and the plain password field always hold the same text.
    QString securePasswordField;
    QString plainPasswordField;
    /// Which of the two is shown, and the label of the toggle segment.
    bool showsPlain = false;
    QString toggleLabel;
    StrengthReadout readout;

    PassGenAdvancedRowState& row(PassGenRow r) { return rows[static_cast<std::size_t>(r)]; }
    const PassGenAdvancedRowState& row(PassGenRow r) const {
        return rows[static_cast<std::size_t>(r)];
    }
};

class PassGenAdvancedTabController {
public:
    /// Fields whose edits the tab reports.
    enum class Field : int {
        Percent = 0, ///< with the row
        Length,
        Tries,
        SelectedChars,
        CustomChars,
        SecurePassword,
        PlainPassword,
    };
    using CopyCallback = std::function<void(const QString& password)>;

    static constexpr int kDefaultLength = 24;
    static constexpr int kDefaultTries = 10;
    static constexpr int kMinDistinctSelected = 10;

    PassGenAdvancedTabController(Presenter& presenter, TextLookup text, RandomSource& random,
                                 CopyCallback copy);

    const PassGenAdvancedTabState& state() const noexcept { return m_state; }
    /// Replaces the whole state (the tab's initial values), enabling controls to match.
    void setState(PassGenAdvancedTabState state);

    /// The option the current fields describe.
    static PasswordGeneratorOption collectOption(const PassGenAdvancedTabState& state);
    /// Whether generation may run with these fields.
    static bool validate(const PassGenAdvancedTabState& state);
    /// Moves the percentages of the checked rows towards a total of 100.
    static void rebalancePercentages(PassGenAdvancedTabState& state,
                                     std::optional<PassGenRow> excluded);
    /// Only the digits 0 to 9 of a text.
    static QString digitsOnly(const QString& text);

    void onTypeRadio(bool selectedChars);
    void onSettingCheck(PassGenRow row, bool checked);
    void onSettingStepper(PassGenRow row, int step);
    void onPassLengthStepper(int step);
    void onGenerateCountStepper(int step);
    void controlTextDidChange(Field field, const QString& text, PassGenRow row = PassGenRow::Lower);
    /// True when a new password was made.
    bool onGenerate();
    /// 0 copies the password, 1 toggles secure and plain display.
    void onPassSegment(int segment);

    QString password() const { return m_state.securePasswordField; }

private:
    void applyEnabled();
    void setPassword(const QString& password);

    Presenter& m_presenter;
    TextLookup m_text;
    RandomSource& m_random;
    CopyCallback m_copy;
    PassGenAdvancedTabState m_state;
};

} // namespace keskor
