#pragma once
// The terminal presenter of keskor-cli. Questions the user settled on the command line
// (--yes, --force-weak) are answered with their first button; everything else is asked on the
// terminal, or answered "no" when there is none.

#include "platform/TerminalPresenter.h"

namespace keskor {

class CliPresenter : public TerminalPresenter {
public:
    using TerminalPresenter::TerminalPresenter;

    /// While set, every question with more than one button takes the first.
    void setAssumeYes(bool on) { m_assumeYes = on; }

    int alert(AlertStyle style, const UiText& message, const UiText& informative,
              const QList<UiText>& buttons) override;

    /// Whether a warning or an error has been shown since the last reset.
    bool warned() const { return m_warned; }
    void resetWarned() { m_warned = false; }

private:
    bool m_assumeYes = false;
    bool m_warned = false;
};

} // namespace keskor
