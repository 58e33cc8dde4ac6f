#include "app/cli/CliPresenter.h"

namespace keskor {

int CliPresenter::alert(AlertStyle style, const UiText& message, const UiText& informative,
                        const QList<UiText>& buttons) {
    if (style != AlertStyle::informational && buttons.size() <= 1) {
        m_warned = true;
    }
    if (m_assumeYes && buttons.size() > 1) {
        // Shown without its buttons, so the log says what was agreed to.
        TerminalPresenter::alert(AlertStyle::informational, message, informative, {});
        return 0;
    }
    return TerminalPresenter::alert(style, message, informative, buttons);
}

} // namespace keskor
