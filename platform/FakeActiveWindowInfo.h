#pragma once
// The active window as a test sets it; setting it calls the activation handler like a real
// focus change.

#include "platform/ActiveWindowInfo.h"

namespace keskor {

class FakeActiveWindowInfo : public ActiveWindowInfo {
public:
    std::optional<ActiveWindow> activeWindow() const override { return m_active; }
    void setActivationHandler(std::function<void(const ActiveWindow&)> handler) override {
        m_handler = std::move(handler);
    }

    void activate(std::optional<ActiveWindow> window) {
        m_active = std::move(window);
        if (m_active && m_handler) {
            m_handler(*m_active);
        }
    }

private:
    std::optional<ActiveWindow> m_active;
    std::function<void(const ActiveWindow&)> m_handler;
};

} // namespace keskor
