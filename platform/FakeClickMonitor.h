#pragma once
// A click monitor for tests: click() reports a press as the desktop would.

#include "platform/ClickMonitor.h"

namespace keskor {

class FakeClickMonitor : public ClickMonitor {
public:
    void setClickHandler(std::function<void(QPoint)> handler) override {
        m_handler = std::move(handler);
    }
    void click(QPoint at = {}) {
        if (m_handler) {
            m_handler(at);
        }
    }
    bool isWatched() const { return bool(m_handler); }

private:
    std::function<void(QPoint)> m_handler;
};

} // namespace keskor
