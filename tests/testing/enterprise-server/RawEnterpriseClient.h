#pragma once
// A bare enterprise client over a real socket for the server tests: sends one packet, waits
// (spinning the event loop, where the server runs) for the answer. Also sends raw bytes.

#include "core/shared/KeyHelper.h"
#include "core/shared/ServerProtocol.h"
#include "enterprise/EnterpriseRequests.h"
#include "enterprise/OpenSSLHelper.h"
#include "enterprise/PacketHandler.h"

#include <QSslSocket>
#include <QTest>
#include <memory>

namespace keskor::testing {

class RawEnterpriseClient {
public:
    RawEnterpriseClient(quint16 port, ProtocolVersion version, bool tls = false)
        : protocol(version), handler(protocol), key(KeyHelper::getDefaultLMDKey()) {
        if (tls) {
            socket->setPeerVerifyMode(QSslSocket::VerifyNone);
            socket->connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
            (void)QTest::qWaitFor([this] { return socket->isEncrypted(); }, 5000);
        } else {
            socket->connectToHost(QStringLiteral("127.0.0.1"), port);
            (void)QTest::qWaitFor(
                [this] { return socket->state() == QAbstractSocket::ConnectedState; });
        }
        QObject::connect(socket.get(), &QTcpSocket::readyRead, [this] {
            handler.append(socket->readAll());
            result = handler.process();
        });
    }
    std::optional<TCSDataPacket> send(const TCSDataPacket& request) {
        handler.key = key;
        handler.arm();
        result = {};
        socket->write(request.toBytes(key, protocol.encryptionMode()));
        (void)QTest::qWaitFor([this] { return result.packet || result.error || closed(); }, 5000);
        return result.packet;
    }
    bool keyExchange() {
        const auto start = send(EnterpriseRequests::keyExchangeStart(protocol));
        const auto offer = EnterpriseRequests::parseKeyExchangeStartAnswer(
            start.value_or(TCSDataPacket(protocol)));
        if (!ecdh.initOpenSSL(offer.curveNid) || !ecdh.setPeerKey(offer.publicKeyPem) ||
            !send(EnterpriseRequests::keyExchangeFinish(protocol, ecdh.getPublicKey()))) {
            return false;
        }
        key = EnterpriseRequests::sessionKey(ecdh.getCommonSecret());
        return true;
    }
    std::optional<TCSDataPacket> login(const QString& user, const QString& password,
                                       std::optional<QString> code = {}, bool trust = false) {
        return send(EnterpriseRequests::login(
            protocol, user, password, ConnectionData2FA(token, std::move(code), {}, trust)));
    }
    bool closed() const { return socket->state() == QAbstractSocket::UnconnectedState; }
    bool closedByServer(int ms = 5000) {
        return QTest::qWaitFor([this] { return closed(); }, ms);
    }

    ServerProtocol protocol;
    PacketHandler handler;
    Key256 key;
    OpenSSLHelper ecdh;
    QString token = QStringLiteral("device-1");
    PacketHandler::Result result;
    std::unique_ptr<QSslSocket> socket = std::make_unique<QSslSocket>();
};

} // namespace keskor::testing
