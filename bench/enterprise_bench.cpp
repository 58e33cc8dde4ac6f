// The enterprise connection: framing of 1 MB answers arriving in pieces of 1 byte, 1 KB and
// 64 KB (the packet is decrypted once it is whole), and a whole log-in against the reference
// server on loopback (connect, key exchange, log-in, server information).

#include "core/shared/KeyHelper.h"
#include "core/shared/ServerProtocol.h"
#include "enterprise/EnterpriseStorage.h"
#include "enterprise/PacketHandler.h"
#include "platform/MemoryDefaultsStore.h"
#include "platform/MemoryKeychain.h"
#include "testing/enterprise-server/EnterpriseServer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace keskor;

namespace {

void BM_FramingOneMegabyte(benchmark::State& state) {
    const qsizetype piece = state.range(0);
    ServerProtocol protocol(ProtocolVersion::version2);
    PacketHandler handler(protocol);
    handler.key = KeyHelper::getDefaultLMDKey();
    TCSDataPacket packet(protocol);
    packet.setCommand(31);
    packet.setData2(QByteArray(1 << 20, 'x'));
    const QByteArray bytes = packet.toBytes(*handler.key, TCSDataPacket::DATA_PACKET_ENCRYPT_CBC);
    for (auto _ : state) {
        handler.arm();
        bool whole = false;
        for (qsizetype at = 0; at < bytes.size(); at += piece) {
            handler.append(bytes.constData() + at, std::min(piece, bytes.size() - at));
            PacketHandler::Result r = handler.process();
            if (r.error) {
                state.SkipWithError("framing failed");
                return;
            }
            whole = r.packet.has_value();
        }
        if (!whole) {
            state.SkipWithError("no packet");
            return;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bytes.size());
}
BENCHMARK(BM_FramingOneMegabyte)->Arg(1)->Arg(1024)->Arg(64 * 1024)->Unit(benchmark::kMillisecond);

void BM_LoginRoundTrip(benchmark::State& state) {
    const bool tls = state.range(0) != 0;
    QTemporaryDir dir;
    testing::EnterpriseServer::Options options;
    options.dataFolder = dir.path();
    options.tls = tls;
    options.hashCost = testing::ServerUserStore::HashCost::minimum();
    testing::EnterpriseServer server(options);
    QString error;
    if (!server.start(0, &error) ||
        !server.users().addUser(QStringLiteral("bench"), QStringLiteral("pw"), {}, 0)) {
        state.SkipWithError("server did not start");
        return;
    }
    ServerCredentials credentials;
    credentials.host = QStringLiteral("127.0.0.1");
    credentials.port = server.serverPort();
    credentials.userName = QStringLiteral("bench");
    credentials.password = QStringLiteral("pw");
    credentials.protocolVersion = ProtocolVersion::version3;
    credentials.useSSL = tls;
    MemoryDefaultsStore defaults;
    MemoryKeychain keychain;
    for (auto _ : state) {
        // A new storage each time: the whole chain runs, nothing is reused.
        EnterpriseStorage storage(defaults, keychain);
        QEventLoop loop;
        bool ok = false;
        storage.login(
            credentials, false, std::nullopt,
            [&] {
                ok = true;
                loop.quit();
            },
            [&](const QString&) { loop.quit(); });
        loop.exec();
        if (!ok) {
            state.SkipWithError("log-in failed");
            return;
        }
        storage.logout();
    }
}
BENCHMARK(BM_LoginRoundTrip)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
