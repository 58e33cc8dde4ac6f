// The browser bridge over one loopback connection, as an extension uses it: round trips of
// "checkState", and "queryURL" and "searchEntries" against open databases of 10,000 and 100,000
// entries; then the resident memory that 200 idle connections add.
//
//   make bench            (or: build/bench/bridge_bench --benchmark_filter=QueryURL)

#include "bridge/WebSocketManager.h"
#include "bridge/ZenWebSocketServer.h"
#include "core/SessionManager.h"
#include "core/SettingManager.h"
#include "platform/MemoryDefaultsStore.h"
#include "platform/MemoryKeychain.h"
#include "testing/SampleDatabase.h"
#include "testing/ScriptedPresenter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>
#include <benchmark/benchmark.h>
#include <memory>

using namespace keskor;

namespace {

/// A bridge serving an open database of `entries` entries on an ephemeral port.
class Bridge {
public:
    explicit Bridge(std::size_t entries) {
        PassFile file = keskor::testing::SampleDatabase::large(entries);
        // The URL an extension asks for: one entry's own, so the whole tree is matched.
        std::function<void(const std::vector<std::shared_ptr<Info2Item>>&)> find =
            [&](const std::vector<std::shared_ptr<Info2Item>>& items) {
                for (const auto& item : items) {
                    if (m_url.isEmpty() && item->url()) {
                        m_url = *item->url();
                    }
                    find(item->subItems());
                }
            };
        find(file.items());
        m_session.open({QStringLiteral("bench.pswd"), QStringLiteral("/tmp")}, std::move(file),
                       Credentials(QStringLiteral("bench"), std::nullopt));
        m_manager.startServer(0);
    }
    ~Bridge() { m_manager.stopServer(); }

    int port() const { return m_manager.port(); }
    const QString& url() const { return m_url; }
    int clients() const { return m_manager.socketServer()->clientCount(); }

private:
    MemoryDefaultsStore m_defaults;
    MemoryKeychain m_keychain;
    SettingManager m_settings{m_defaults, m_keychain};
    SessionManager m_session;
    keskor::testing::ScriptedPresenter m_presenter;
    WebSocketManager m_manager{m_session, m_settings, m_presenter,
                               [](const QString& key) { return key; }};
    QString m_url;
};

/// One extension: sends a command and spins the event loop until its reply is in.
class Extension {
public:
    explicit Extension(int port) {
        QEventLoop loop;
        QObject::connect(&m_socket, &QWebSocket::connected, &loop, &QEventLoop::quit);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        m_socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/").arg(port)));
        loop.exec();
        QObject::connect(&m_socket, &QWebSocket::textMessageReceived, [this](const QString& text) {
            m_reply = text;
            m_loop.quit();
        });
    }
    bool connected() const { return m_socket.state() == QAbstractSocket::ConnectedState; }

    const QString& ask(const QString& json) {
        m_reply.clear();
        m_socket.sendTextMessage(json);
        m_socket.flush(); // as an extension's own socket would, without waiting for the loop
        while (m_reply.isEmpty() && connected()) {
            m_loop.exec();
        }
        return m_reply;
    }

private:
    QWebSocket m_socket;
    QEventLoop m_loop;
    QString m_reply;
};

void roundTrips(benchmark::State& state, Bridge& bridge, const QString& request) {
    Extension extension(bridge.port());
    if (!extension.connected()) {
        state.SkipWithError("no connection to the bridge");
        return;
    }
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes = static_cast<std::size_t>(extension.ask(request).size());
    }
    state.counters["round trips/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["reply chars"] = static_cast<double>(bytes);
}

Bridge& bridgeOf(std::size_t entries) {
    // Building a database of 100,000 entries takes longer than the runs it serves.
    static std::map<std::size_t, std::unique_ptr<Bridge>> bridges;
    auto& bridge = bridges[entries];
    if (!bridge) {
        bridge = std::make_unique<Bridge>(entries);
    }
    return *bridge;
}

void BM_CheckState(benchmark::State& state) {
    roundTrips(state, bridgeOf(10000), QStringLiteral(R"({"cmd":"checkState"})"));
}
BENCHMARK(BM_CheckState)->UseRealTime();

void BM_QueryURL(benchmark::State& state) {
    Bridge& bridge = bridgeOf(static_cast<std::size_t>(state.range(0)));
    roundTrips(state, bridge, QStringLiteral(R"({"cmd":"queryURL","url":"%1"})").arg(bridge.url()));
}
BENCHMARK(BM_QueryURL)
    ->Arg(10000)
    ->Arg(100000)
    ->ArgName("entries")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_SearchEntries(benchmark::State& state) {
    // A term a few entries hold (their descriptions): a realistic number of hits.
    roundTrips(state, bridgeOf(static_cast<std::size_t>(state.range(0))),
               QStringLiteral(R"({"cmd":"searchEntries","term":"account 4242"})"));
}
BENCHMARK(BM_SearchEntries)
    ->Arg(10000)
    ->Arg(100000)
    ->ArgName("entries")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

long residentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').value(0).toLong();
        }
    }
    return 0;
}

void BM_IdleConnections(benchmark::State& state) {
    Bridge& bridge = bridgeOf(10000);
    const int wanted = static_cast<int>(state.range(0));
    for (auto _ : state) {
        // Raw sockets with a hand-made handshake, so the clients' own memory stays small
        // beside the server's part of the growth.
        const long before = residentKiB();
        std::vector<std::unique_ptr<QTcpSocket>> sockets;
        for (int i = 0; i < wanted; ++i) {
            auto socket = std::make_unique<QTcpSocket>();
            socket->connectToHost(QStringLiteral("127.0.0.1"), quint16(bridge.port()));
            socket->write("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n"
                          "Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                          "Sec-WebSocket-Version: 13\r\n\r\n");
            sockets.push_back(std::move(socket));
        }
        QElapsedTimer waited;
        waited.start();
        while (bridge.clients() < wanted && waited.elapsed() < 20000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        state.counters["connections"] = bridge.clients();
        state.counters["RSS growth KiB"] = static_cast<double>(residentKiB() - before);
        state.counters["KiB/connection"] =
            static_cast<double>(residentKiB() - before) / std::max(1, bridge.clients());
        sockets.clear();
        while (bridge.clients() > 0 && waited.elapsed() < 40000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
    }
}
BENCHMARK(BM_IdleConnections)->Arg(200)->ArgName("clients")->Iterations(1)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
