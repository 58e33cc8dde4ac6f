#pragma once
// The logic of the generator's mouse-driven tab without its widgets: every fifth counted mouse
// movement appends one random character of the ticked classes until the length is reached.

#include "tools/RandomSource.h"
#include "tools/StrengthReadout.h"
#include "tools/TextLookup.h"

#include <QString>
#include <functional>

namespace keskor {

struct PassGenStandardTabState {
    bool uppercaseCheck = true;
    bool lowercaseCheck = true;
    bool specialCheck = true;
    bool digitsCheck = true;
    QString lengthField = QStringLiteral("24");

    /// The characters made so far; the password fields show them.
    QString generated;
    QString securePasswordField;
    QString plainPasswordField;
    bool showsPlain = false;
    QString toggleLabel;
    /// Segments 0 (clear) and 2 (copy) work only while there is a password.
    bool clearEnabled = false;
    bool copyEnabled = false;
    /// The animation shown while the mouse moves ("matrix" or "matrix-big").
    QString animationAsset;
    bool animating = false;
    StrengthReadout readout;
};

class PassGenStandardTabController {
public:
    enum class Field : int { Length = 0, SecurePassword, PlainPassword };
    using CopyCallback = std::function<void(const QString& password)>;

    /// Movements this high above the window's bottom (in points) or higher are not counted.
    static constexpr double kTrackedHeight = 320.0;
    static constexpr int kMovementsPerCharacter = 5;
    static constexpr int kDefaultTarget = 255;

    PassGenStandardTabController(TextLookup text, RandomSource& random, CopyCallback copy,
                                 bool largeLayout = false);

    const PassGenStandardTabState& state() const noexcept { return m_state; }
    PassGenStandardTabState& state() noexcept { return m_state; }
    int movementCounter() const noexcept { return m_movements; }

    /// A mouse movement at this vertical window coordinate (from the bottom).
    void mouseMoved(double yFromBottom);
    /// The class check boxes are read when a character is added.
    void onTypeCheck() {}
    void onPassLengthStepper(int step);
    void controlTextDidChange(Field field, const QString& text);
    /// 0 clears, 1 toggles secure and plain display, 2 copies.
    void onPassSegment(int segment);

    QString password() const { return m_state.securePasswordField; }

private:
    void show(const QString& password);

    TextLookup m_text;
    RandomSource& m_random;
    CopyCallback m_copy;
    PassGenStandardTabState m_state;
    int m_movements = 0;
};

} // namespace keskor
