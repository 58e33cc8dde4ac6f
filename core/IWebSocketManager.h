#pragma once
// What the core asks of the browser bridge: start its server on a port, and start it again on
// a new port after the setting changed. The bridge library implements it; the core never
// depends on the bridge.

namespace keskor {

class IWebSocketManager {
public:
    virtual ~IWebSocketManager() = default;
    /// Starts listening on `port`; a failure is reported by the bridge, never thrown.
    virtual void startServer(int port) = 0;
    /// Releases the running server and starts again on `port`.
    virtual void restartServer(int port) = 0;
    virtual void stopServer() = 0;
    /// The port of the running server, or 0 when none runs.
    virtual int port() const = 0;
};

} // namespace keskor
