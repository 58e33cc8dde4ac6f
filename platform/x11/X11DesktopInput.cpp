#include "platform/x11/X11DesktopInput.h"

namespace keskor {

std::unique_ptr<X11DesktopInput> X11DesktopInput::open(const QString& displayName, QString* error) {
    std::unique_ptr<X11Display> display = X11Display::open(displayName, error);
    if (!display) {
        return nullptr;
    }
    return std::unique_ptr<X11DesktopInput>(new X11DesktopInput(std::move(display)));
}

X11DesktopInput::X11DesktopInput(std::unique_ptr<X11Display> display)
    : m_display(std::move(display)), m_keys(*m_display), m_windows(*m_display),
      m_clicks(*m_display), m_shortcut(*m_display) {}

} // namespace keskor
