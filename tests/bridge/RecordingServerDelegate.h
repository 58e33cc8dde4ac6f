#pragma once
// A server delegate for tests: records every notification with the thread it arrived on, and
// can run a hook per notification (to echo, to destroy the server...).

#include "bridge/AsyncSocket.h"
#include "bridge/ZenWebSocketServer.h"
#include "bridge/ZenWebSocketServerDelegate.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <functional>
#include <vector>

namespace keskor::test {

struct ServerEvent {
    enum class Kind { Accept, Data, Disconnect, ParseError };
    Kind kind;
    QByteArray data;
    std::shared_ptr<AsyncSocket> connection;
    ZenWebSocketServerError error;
    bool onMainThread = false;
};

class RecordingServerDelegate : public ZenWebSocketServerDelegate {
public:
    using Kind = ServerEvent::Kind;
    using Hook = std::function<void(ZenWebSocketServer&, const ServerEvent&)>;

    std::vector<ServerEvent> events;
    Hook onEvent;

    void webSocketServerDidAcceptConnection(ZenWebSocketServer& server,
                                            const std::shared_ptr<AsyncSocket>& c) override {
        record(server, {Kind::Accept, {}, c, {}});
    }
    void webSocketServerDidReceiveData(ZenWebSocketServer& server, const QByteArray& data,
                                       const std::shared_ptr<AsyncSocket>& c) override {
        record(server, {Kind::Data, data, c, {}});
    }
    void webSocketServerClientDisconnected(ZenWebSocketServer& server,
                                           const std::shared_ptr<AsyncSocket>& c) override {
        record(server, {Kind::Disconnect, {}, c, {}});
    }
    void webSocketServerCouldNotParseRawData(ZenWebSocketServer& server, const QByteArray& raw,
                                             const std::shared_ptr<AsyncSocket>& c,
                                             const ZenWebSocketServerError& error) override {
        record(server, {Kind::ParseError, raw, c, error});
    }

    int count(Kind kind) const {
        int n = 0;
        for (const auto& event : events) {
            n += event.kind == kind ? 1 : 0;
        }
        return n;
    }
    const ServerEvent* first(Kind kind) const {
        for (const auto& event : events) {
            if (event.kind == kind) {
                return &event;
            }
        }
        return nullptr;
    }
    bool waitFor(Kind kind, int n = 1, int timeoutMs = 5000) {
        return QTest::qWaitFor([&]() { return count(kind) >= n; }, timeoutMs);
    }

private:
    void record(ZenWebSocketServer& server, ServerEvent event) {
        event.onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
        events.push_back(event);
        if (onEvent) {
            onEvent(server, events.back());
        }
    }
};

} // namespace keskor::test
