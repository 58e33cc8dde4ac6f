#include "tools/PassGenStandardTabController.h"

#include "tools/PasswordHelper.h"

namespace keskor {

PassGenStandardTabController::PassGenStandardTabController(TextLookup text, RandomSource& random,
                                                           CopyCallback copy, bool largeLayout)
    : m_text(std::move(text)), m_random(random), m_copy(std::move(copy)) {
    m_state.toggleLabel = m_text(QStringLiteral("show"));
    m_state.animationAsset = largeLayout ? QStringLiteral("matrix-big") : QStringLiteral("matrix");
    m_state.readout = PasswordHelper::strengthReadout(QString(), m_text);
}

void PassGenStandardTabController::mouseMoved(double yFromBottom) {
    if (yFromBottom >= kTrackedHeight) {
        return;
    }
    m_state.animating = true;
    ++m_movements;
    if (m_movements % kMovementsPerCharacter != 1) {
        return;
    }
    bool ok = false;
    const int parsed = m_state.lengthField.toInt(&ok, 10);
    const int target = ok ? parsed : kDefaultTarget;
    if (PasswordHelper::characters(m_state.generated).size() >= target) {
        return;
    }
    const QString next =
        PasswordHelper::generateSimplePassword(1, m_state.uppercaseCheck, m_state.lowercaseCheck,
                                               m_state.specialCheck, m_state.digitsCheck, m_random);
    if (next.isEmpty()) {
        return;
    }
    m_state.generated += next;
    show(m_state.generated);
}

void PassGenStandardTabController::onPassLengthStepper(int step) {
    bool ok = false;
    const int value = m_state.lengthField.toInt(&ok, 10) + step;
    if (value >= 4 && value <= 255) {
        m_state.lengthField = QString::number(value);
    }
}

void PassGenStandardTabController::controlTextDidChange(Field field, const QString& text) {
    if (field == Field::Length) {
        bool ok = false;
        const int value = text.toInt(&ok, 10);
        if (ok && (value < 4 || value > 255)) {
            m_state.lengthField = text;
            return;
        }
        QString digits;
        for (const QChar c : text) {
            if (c >= u'0' && c <= u'9') {
                digits += c;
            }
        }
        m_state.lengthField = digits;
        return;
    }
    // A typed password becomes the text further movements extend.
    m_state.generated = text;
    show(text);
}

void PassGenStandardTabController::onPassSegment(int segment) {
    switch (segment) {
    case 0:
        if (m_state.clearEnabled) {
            m_state.generated.clear();
            show(QString());
        }
        break;
    case 1:
        m_state.showsPlain = !m_state.showsPlain;
        m_state.toggleLabel =
            m_text(m_state.showsPlain ? QStringLiteral("hide") : QStringLiteral("show"));
        break;
    case 2:
        if (m_state.copyEnabled && m_copy) {
            m_copy(m_state.securePasswordField);
        }
        break;
    default:
        break;
    }
}

void PassGenStandardTabController::show(const QString& password) {
    m_state.securePasswordField = password;
    m_state.plainPasswordField = password;
    m_state.clearEnabled = !password.isEmpty();
    m_state.copyEnabled = !password.isEmpty();
    m_state.readout = PasswordHelper::strengthReadout(password, m_text);
}

} // namespace keskor
