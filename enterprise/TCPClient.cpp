#include "enterprise/TCPClient.h"

#include "core/shared/CommonException.h"
#include "enterprise/PacketHandler.h"
#include "platform/MainThread.h"

#include <QMetaObject>
#include <QThread>
#include <QTimer>

namespace keskor {

struct TCPClient::Request {
    quint64 serial = 0;
    std::int32_t command = 0;
    SendSuccess success;
    SendFailure failure;
};

std::shared_ptr<TCPClient> TCPClient::create(const QString& host, int port,
                                             ProtocolVersion protocolVersion, bool useSSL,
                                             Options options) {
    return std::shared_ptr<TCPClient>(new TCPClient(host, port, protocolVersion, useSSL, options));
}

TCPClient::TCPClient(const QString& host, int port, ProtocolVersion protocolVersion, bool useSSL,
                     Options options)
    : m_serverProtocol(createServerProtocol(protocolVersion)), m_protocolVersion(protocolVersion),
      m_options(options),
      m_packetHandler(std::make_unique<PacketHandler>(*m_serverProtocol, options.maxPacketSize)) {
    // The log-in dialog validates the port before it gets here.
    Q_ASSERT(port >= 0 && port <= 65535);
    m_thread = new QThread;
    m_thread->setObjectName(QString::fromLatin1(threadName));
    m_nwConnection = new NetConnection(host, static_cast<quint16>(port), useSSL);
    m_nwConnection->moveToThread(m_thread);
    QObject::connect(m_thread, &QThread::finished, m_nwConnection, &QObject::deleteLater);
    // Direct: the connection emits on its own thread, where this client's framing state lives.
    QObject::connect(
        m_nwConnection, &NetConnection::stateChanged, m_nwConnection,
        [this](NetConnection::State state, const QString& error) { onStateChanged(state, error); });
    QObject::connect(m_nwConnection, &NetConnection::received, m_nwConnection,
                     [this](const QByteArray& bytes, bool end) { onReceived(bytes, end); });
    QObject::connect(m_nwConnection, &NetConnection::transferFailed, m_nwConnection,
                     [this](const QString& error) {
                         if (m_request) {
                             m_packetHandler->reset();
                             finishRequest(std::nullopt, error);
                         }
                     });
    m_thread->start();
}

TCPClient::~TCPClient() {
    {
        std::lock_guard lock(m_mutex);
        m_connectSuccessCallback = nullptr;
        m_connectFailCallback = nullptr;
    }
    // Runs after everything already queued for the connection thread, so nothing queued
    // there can outlive this object.
    QMetaObject::invokeMethod(
        m_nwConnection,
        [this] {
            m_nwConnection->blockSignals(true);
            m_nwConnection->cancel();
            m_request.reset();
        },
        Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
}

void TCPClient::connect(ConnectSuccess success, ConnectFailure failure) {
    {
        std::lock_guard lock(m_mutex);
        m_connectSuccessCallback = std::move(success);
        m_connectFailCallback = std::move(failure);
    }
    QMetaObject::invokeMethod(m_nwConnection, [this] {
        m_nwConnection->start();
        QTimer::singleShot(m_options.connectTimeout, m_nwConnection, [this] {
            if (m_nwConnection->state() == NetConnection::State::preparing) {
                m_nwConnection->cancel();
            }
        });
    });
}

void TCPClient::onStateChanged(NetConnection::State state, const QString& error) {
    switch (state) {
    case NetConnection::State::waiting:
        reportConnectFailure(error);
        break;
    case NetConnection::State::ready: {
        ConnectSuccess success;
        ConnectFailure failure;
        CertificateCheck check;
        {
            std::lock_guard lock(m_mutex);
            success = std::exchange(m_connectSuccessCallback, nullptr);
            failure = std::exchange(m_connectFailCallback, nullptr);
            check = m_certificateCheck;
        }
        const QByteArray sha256 = m_nwConnection->certificateSha256();
        std::weak_ptr<TCPClient> weak = weak_from_this();
        runOnMain([weak, success, failure, check, sha256] {
            if (check && !sha256.isEmpty()) {
                if (const std::optional<QString> refused = check(sha256)) {
                    if (auto self = weak.lock()) {
                        self->close();
                    }
                    if (failure) {
                        failure(*refused);
                    }
                    return;
                }
            }
            if (success) {
                success();
            }
        });
        break;
    }
    case NetConnection::State::cancelled:
        reportConnectFailure(QStringLiteral("enterprise_error_cancel"));
        if (m_request) {
            m_packetHandler->reset();
            finishRequest(std::nullopt, QStringLiteral("enterprise_error_cancel"));
        }
        break;
    default:
        break;
    }
}

void TCPClient::reportConnectFailure(const QString& message) {
    ConnectFailure failure;
    {
        std::lock_guard lock(m_mutex);
        failure = std::exchange(m_connectFailCallback, nullptr);
        m_connectSuccessCallback = nullptr;
    }
    if (failure) {
        runOnMain([failure, message] { failure(message); });
    }
}

void TCPClient::sendPacket(const TCSDataPacket& packet, SendSuccess success, SendFailure failure) {
    const std::optional<Key256> current = key();
    if (!current) {
        runOnMain([failure] { failure(std::nullopt, QStringLiteral("Empty encryption key")); });
        return;
    }
    const std::int32_t mode = ProtocolVersions::raw(m_protocolVersion) < 2
                                  ? TCSDataPacket::DATA_PACKET_ENCRYPT
                                  : TCSDataPacket::DATA_PACKET_ENCRYPT_CBC;
    QByteArray bytes;
    try {
        bytes = packet.toBytes(*current, mode);
    } catch (const CommonException& e) {
        const QString message = e.message();
        runOnMain([failure, message] { failure(std::nullopt, message); });
        return;
    }
    const std::int32_t command = packet.command();
    QMetaObject::invokeMethod(m_nwConnection, [this, bytes, command, success, failure] {
        if (m_request) {
            // One request at a time: a new one abandons the answer still being read.
            finishRequest(std::nullopt, QStringLiteral("enterprise_error_cancel"));
        }
        m_request =
            std::make_unique<Request>(Request{++m_requestSerial, command, success, failure});
        m_packetHandler->arm();
        if (!m_nwConnection->send(bytes)) {
            if (m_request) {
                m_packetHandler->reset();
                finishRequest(std::nullopt, QStringLiteral("enterprise_error_not_connected"));
            }
            return;
        }
        armAnswerTimer(m_requestSerial);
    });
}

void TCPClient::armAnswerTimer(quint64 serial) {
    if (m_options.answerTimeout.count() <= 0) {
        return;
    }
    QTimer::singleShot(m_options.answerTimeout, m_nwConnection, [this, serial] {
        if (m_request && m_request->serial == serial) {
            m_packetHandler->reset();
            finishRequest(std::nullopt, QStringLiteral("enterprise_error_no_answer"));
        }
    });
}

void TCPClient::onReceived(const QByteArray& bytes, bool endOfStream) {
    if (!m_request) {
        return;
    }
    if (!bytes.isEmpty() && m_packetHandler->state() != PacketHandler::State::off) {
        m_packetHandler->append(bytes);
        PacketHandler::Result result = m_packetHandler->process();
        if (result.error) {
            finishRequest(std::nullopt, *result.error);
            return;
        }
        if (result.packet) {
            finishRequest(std::move(result.packet), QString());
            return;
        }
    }
    if (endOfStream) {
        // The peer closed before a whole answer arrived.
        m_packetHandler->reset();
        finishRequest(std::nullopt, QStringLiteral("enterprise_error_empty_response"));
    }
}

void TCPClient::finishRequest(std::optional<TCSDataPacket> packet, const QString& error) {
    std::unique_ptr<Request> request = std::move(m_request);
    if (!request) {
        return;
    }
    runOnMain([request = std::shared_ptr<Request>(std::move(request)), packet = std::move(packet),
               error] {
        if (!packet) {
            request->failure(std::nullopt, error);
        } else if (packet->command() != request->command) {
            // An answer to some other request is no answer to this one.
            request->failure(std::nullopt, QStringLiteral("enterprise_error_wrong_data_format"));
        } else if (packet->result() == TCSDataPacket::ERR_SUCCESS) {
            request->success(*packet);
        } else {
            request->failure(packet, QString::fromUtf8(packet->data1()));
        }
    });
}

void TCPClient::close() {
    {
        std::lock_guard lock(m_mutex);
        m_connectSuccessCallback = nullptr;
        m_connectFailCallback = nullptr;
    }
    QMetaObject::invokeMethod(m_nwConnection, [this] {
        m_nwConnection->cancel();
        m_packetHandler->reset();
    });
}

void TCPClient::setKey(std::optional<Key256> key) {
    {
        std::lock_guard lock(m_mutex);
        m_key = key;
    }
    QMetaObject::invokeMethod(m_nwConnection, [this, key] { m_packetHandler->key = key; });
}

std::optional<Key256> TCPClient::key() const {
    std::lock_guard lock(m_mutex);
    return m_key;
}

void TCPClient::setCertificateCheck(CertificateCheck check) {
    std::lock_guard lock(m_mutex);
    m_certificateCheck = std::move(check);
}

bool TCPClient::isReady() const {
    return connectionState() == NetConnection::State::ready;
}

NetConnection::State TCPClient::connectionState() const {
    return m_nwConnection->state();
}

} // namespace keskor
