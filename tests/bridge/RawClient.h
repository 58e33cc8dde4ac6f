#pragma once
// A raw TCP client for feeding the WebSocket server hand-made (and malformed) bytes.

#include <QByteArray>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTest>
#include <QtEndian>

namespace keskor::test {

class RawClient {
public:
    static constexpr const char* rfcKey = "dGhlIHNhbXBsZSBub25jZQ==";
    static constexpr const char* rfcAccept = "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=";

    explicit RawClient(quint16 port) {
        socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        socket.connectToHost(QHostAddress::LocalHost, port);
    }

    static QByteArray handshake(const QByteArray& key = rfcKey) {
        return "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n"
               "Connection: Upgrade\r\nSec-WebSocket-Key: " +
               key + "\r\nSec-WebSocket-Version: 13\r\n\r\n";
    }
    static QByteArray handshakeAnswer() {
        return QByteArray("HTTP/1.1 101 Web Socket Protocol Handshake\r\nUpgrade: websocket\r\n"
                          "Connection: Upgrade\r\nSec-WebSocket-Accept: ") +
               rfcAccept + "\r\n\r\n";
    }

    /// A client frame with the given first byte, masked with `mask`, in the shortest length form.
    static QByteArray frame(quint8 firstByte, const QByteArray& payload,
                            const QByteArray& mask = QByteArray("\x11\x22\x33\x44", 4)) {
        QByteArray out(1, char(firstByte));
        const auto n = static_cast<quint64>(payload.size());
        if (n < 126) {
            out.append(char(0x80 | n));
        } else if (n < 65536) {
            char length[2];
            qToBigEndian<quint16>(quint16(n), length);
            out.append(char(0x80 | 126)).append(length, 2);
        } else {
            char length[8];
            qToBigEndian<quint64>(n, length);
            out.append(char(0x80 | 127)).append(length, 8);
        }
        out.append(mask);
        for (qsizetype i = 0; i < payload.size(); ++i) {
            out.append(char(payload[i] ^ mask[i % 4]));
        }
        return out;
    }
    static QByteArray text(const QByteArray& payload) { return frame(0x81, payload); }

    bool waitConnected() { return socket.waitForConnected(5000); }
    void send(const QByteArray& bytes) {
        socket.write(bytes);
        socket.flush();
    }
    /// Opens the connection with the RFC's example key and reads the answer.
    bool open() {
        if (!waitConnected()) {
            return false;
        }
        send(handshake());
        return take(handshakeAnswer().size()) == handshakeAnswer();
    }
    /// Waits for `n` bytes and removes them from what was received.
    QByteArray take(qsizetype n, int timeoutMs = 5000) {
        // On timeout the caller sees fewer bytes than it asked for.
        (void)QTest::qWaitFor(
            [&]() {
                received += socket.readAll();
                return received.size() >= n;
            },
            timeoutMs);
        QByteArray head = received.left(n);
        received.remove(0, head.size());
        return head;
    }
    bool waitClosed(int timeoutMs = 5000) {
        return QTest::qWaitFor(
            [&]() {
                received += socket.readAll();
                return socket.state() == QAbstractSocket::UnconnectedState;
            },
            timeoutMs);
    }

    QTcpSocket socket;
    QByteArray received;
};

} // namespace keskor::test
