#pragma once
// A bridge that serves nothing: it keeps the port it was asked for. The composition root uses
// it where no browser bridge is built in.

#include "core/IWebSocketManager.h"

namespace keskor {

class InactiveWebSocketManager : public IWebSocketManager {
public:
    void startServer(int port) override {
        m_port = port;
        ++m_starts;
    }
    void restartServer(int port) override { startServer(port); }
    void stopServer() override { m_port = 0; }
    int port() const override { return m_port; }
    int starts() const { return m_starts; }

private:
    int m_port = 0;
    int m_starts = 0;
};

} // namespace keskor
