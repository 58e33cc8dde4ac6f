// The browser bridge over one loopback connection, as an extension uses it: round trips of
// "checkState", beside the floor of the same three wake-ups with bare system calls; "queryURL"
// and "searchEntries" against open databases of 10,000 and 100,000 entries; then the resident
// memory that 200 idle connections add.
//
//   make bench            (or: build/bench/bridge_bench --benchmark_filter=QueryURL)

#include "bridge/WebSocketManager.h"
#include "bridge/ZenWebSocketServer.h"
#include "core/SessionManager.h"
#include "core/SettingManager.h"
#include "platform/MainThread.h"
#include "platform/MemoryDefaultsStore.h"
#include "platform/MemoryKeychain.h"
#include "testing/SampleDatabase.h"
#include "testing/ScriptedPresenter.h"

#include <QCoreApplication>
#include <QFile>
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <chrono>
#include <map>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

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

/// One extension: a blocking RFC 6455 client on the benchmark's thread, so that, as with a
/// browser, none of its work lands on the bridge's main thread. Sends masked text frames and
/// reads the server's unmasked ones.
class Extension {
public:
    explicit Extension(int port) {
        m_fd = connectTo(port);
        if (m_fd < 0) {
            return;
        }
        const std::string handshake = "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n"
                                      "Connection: Upgrade\r\n"
                                      "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                                      "Sec-WebSocket-Version: 13\r\n\r\n";
        if (!sendAll(handshake.data(), handshake.size())) {
            close();
            return;
        }
        std::size_t end = std::string::npos;
        while ((end = m_in.find("\r\n\r\n")) == std::string::npos) {
            if (!receive()) {
                close();
                return;
            }
        }
        if (m_in.compare(0, 12, "HTTP/1.1 101") != 0) {
            close();
            return;
        }
        m_in.erase(0, end + 4);
    }
    ~Extension() { close(); }
    Extension(const Extension&) = delete;
    Extension& operator=(const Extension&) = delete;

    bool connected() const { return m_fd >= 0; }

    /// The payload size of the reply to `json`, or 0 once the connection is lost.
    std::size_t ask(const QByteArray& json) {
        const std::string& request = frame(json);
        if (!connected() || !sendAll(request.data(), request.size())) {
            close();
            return 0;
        }
        for (;;) {
            if (std::optional<std::size_t> size = nextFrame()) {
                return *size;
            }
            if (!receive()) {
                close();
                return 0;
            }
        }
    }

    /// A connected TCP socket to the bridge, -1 when none.
    static int connectTo(int port) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            return -1;
        }
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

private:
    const std::string& frame(const QByteArray& payload) {
        static constexpr unsigned char mask[4] = {0x37, 0xfa, 0x21, 0x3d};
        const auto size = static_cast<std::size_t>(payload.size());
        m_frame.clear();
        m_frame.push_back(char(0x81)); // final text frame
        if (size < 126) {
            m_frame.push_back(char(0x80 | size));
        } else if (size < 65536) {
            m_frame.push_back(char(0x80 | 126));
            m_frame.push_back(char(size >> 8));
            m_frame.push_back(char(size & 0xff));
        } else {
            m_frame.push_back(char(0x80 | 127));
            for (int shift = 56; shift >= 0; shift -= 8) {
                m_frame.push_back(char((size >> shift) & 0xff));
            }
        }
        m_frame.append(reinterpret_cast<const char*>(mask), 4);
        for (std::size_t i = 0; i < size; ++i) {
            m_frame.push_back(char(payload[qsizetype(i)] ^ mask[i % 4]));
        }
        return m_frame;
    }

    /// The payload size of the first complete text frame buffered, which it consumes; other
    /// frames are skipped.
    std::optional<std::size_t> nextFrame() {
        while (m_in.size() >= 2) {
            const auto* bytes = reinterpret_cast<const unsigned char*>(m_in.data());
            std::size_t header = 2;
            std::uint64_t size = bytes[1] & 0x7f;
            if (size == 126) {
                header = 4;
            } else if (size == 127) {
                header = 10;
            }
            if (m_in.size() < header) {
                return std::nullopt;
            }
            if (header > 2) {
                size = 0;
                for (std::size_t i = 2; i < header; ++i) {
                    size = (size << 8) | bytes[i];
                }
            }
            if (m_in.size() < header + size) {
                return std::nullopt;
            }
            const bool text = (bytes[0] & 0x0f) == 1;
            m_in.erase(0, header + size);
            if (text) {
                return static_cast<std::size_t>(size);
            }
        }
        return std::nullopt;
    }

    bool sendAll(const char* data, std::size_t size) {
        while (size > 0) {
            const ssize_t sent = ::send(m_fd, data, size, MSG_NOSIGNAL);
            if (sent <= 0) {
                return false;
            }
            data += sent;
            size -= static_cast<std::size_t>(sent);
        }
        return true;
    }

    bool receive() {
        char chunk[64 * 1024];
        const ssize_t got = ::recv(m_fd, chunk, sizeof chunk, 0);
        if (got <= 0) {
            return false;
        }
        m_in.append(chunk, static_cast<std::size_t>(got));
        return true;
    }

    void close() {
        if (m_fd >= 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }

    int m_fd = -1;
    std::string m_in;
    std::string m_frame;
};

void roundTrips(benchmark::State& state, Bridge& bridge, const QString& request) {
    Extension extension(bridge.port());
    if (!extension.connected()) {
        state.SkipWithError("no connection to the bridge");
        return;
    }
    const QByteArray json = request.toUtf8();
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes = extension.ask(json);
        if (bytes == 0) {
            state.SkipWithError("the bridge closed the connection");
            return;
        }
    }
    state.counters["round trips/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["reply bytes"] = static_cast<double>(bytes);
}

/// The bridges live on the main thread, which serves them while the benchmarks run on theirs.
std::map<std::size_t, std::unique_ptr<Bridge>> bridges;

Bridge& bridgeOf(std::size_t entries) {
    // Building a database of 100,000 entries takes longer than the runs it serves.
    auto& bridge = bridges[entries];
    if (!bridge) {
        runOnMainBlocking([&]() { bridge = std::make_unique<Bridge>(entries); });
    }
    return *bridge;
}

void BM_CheckState(benchmark::State& state) {
    roundTrips(state, bridgeOf(10000), QStringLiteral(R"({"cmd":"checkState"})"));
}
BENCHMARK(BM_CheckState)->UseRealTime();

/// The floor under "checkState" on this machine: the same three wake-ups (the extension wakes the
/// socket thread, which wakes the main thread through an eventfd, which answers the extension)
/// with bare system calls and no work between them. The bridge's figure is read against this one.
void BM_ThreeWakeUpFloor(benchmark::State& state) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener, 1) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        state.SkipWithError("no listening socket");
        return;
    }
    const int client = Extension::connectTo(ntohs(address.sin_port));
    const int server = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    ::close(listener);
    const int wake = ::eventfd(0, EFD_CLOEXEC);
    if (client < 0 || server < 0 || wake < 0) {
        for (const int fd : {client, server, wake}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
        state.SkipWithError("no loopback connection or eventfd");
        return;
    }
    const int one = 1;
    ::setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    constexpr std::uint64_t stop = std::uint64_t(1) << 32;
    std::thread socketThread([&]() {
        char byte;
        std::uint64_t request = 1;
        for (;;) {
            pollfd ready{server, POLLIN, 0};
            ::poll(&ready, 1, -1);
            if (::recv(server, &byte, 1, 0) <= 0) {
                request = stop;
            }
            if (::write(wake, &request, sizeof request) < 0 || request == stop) {
                return;
            }
        }
    });
    std::thread mainThread([&]() {
        for (;;) {
            pollfd ready{wake, POLLIN, 0};
            ::poll(&ready, 1, -1);
            std::uint64_t count = 0;
            if (::read(wake, &count, sizeof count) < 0 || count >= stop) {
                return;
            }
            ::send(server, "a", 1, MSG_NOSIGNAL);
        }
    });
    char byte = 'q';
    for (auto _ : state) {
        if (::send(client, &byte, 1, MSG_NOSIGNAL) != 1 || ::recv(client, &byte, 1, 0) != 1) {
            state.SkipWithError("the loop broke");
            break;
        }
    }
    ::shutdown(client, SHUT_RDWR);
    socketThread.join();
    mainThread.join();
    ::close(client);
    ::close(server);
    ::close(wake);
    state.counters["round trips/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ThreeWakeUpFloor)->UseRealTime();

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
    const auto waitFor = [&bridge](auto done) {
        for (int waited = 0; !done(bridge.clients()) && waited < 20000; waited += 10) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    };
    for (auto _ : state) {
        // Raw sockets with a hand-made handshake: the clients add no memory of their own.
        const long before = residentKiB();
        std::vector<int> sockets;
        for (int i = 0; i < wanted; ++i) {
            const int fd = Extension::connectTo(bridge.port());
            static constexpr char handshake[] =
                "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n"
                "Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                "Sec-WebSocket-Version: 13\r\n\r\n";
            if (fd >= 0 && ::send(fd, handshake, sizeof handshake - 1, MSG_NOSIGNAL) > 0) {
                sockets.push_back(fd);
            }
        }
        waitFor([wanted](int clients) { return clients >= wanted; });
        const long grown = residentKiB() - before;
        state.counters["connections"] = bridge.clients();
        state.counters["RSS growth KiB"] = static_cast<double>(grown);
        state.counters["KiB/connection"] =
            static_cast<double>(grown) / std::max(1, bridge.clients());
        for (const int fd : sockets) {
            ::close(fd);
        }
        waitFor([](int clients) { return clients == 0; });
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
    // The main thread runs the event loop the bridge needs; the benchmarks run beside it.
    std::thread runner([&app]() {
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    const int status = app.exec();
    runner.join();
    bridges.clear();
    return status;
}
