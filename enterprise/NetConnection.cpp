#include "enterprise/NetConnection.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QSslSocket>

namespace keskor {

namespace {

constexpr qint64 kMaxRead = 65535;

} // namespace

const char* NetConnection::stateName(State state) {
    switch (state) {
    case State::setup:
        return "setup";
    case State::preparing:
        return "preparing";
    case State::waiting:
        return "waiting";
    case State::ready:
        return "ready";
    case State::failed:
        return "failed";
    case State::cancelled:
        return "cancelled";
    }
    return "unknown";
}

NetConnection::NetConnection(QString host, quint16 port, bool useTls)
    : m_host(std::move(host)), m_port(port), m_useTls(useTls) {}

NetConnection::~NetConnection() = default;

void NetConnection::setState(State state, const QString& error) {
    if (m_state.load() == state) {
        return;
    }
    m_state.store(state);
    qDebug().noquote() << "State:" << stateName(state);
    Q_EMIT stateChanged(state, error);
}

void NetConnection::start() {
    if (m_socket != nullptr) {
        return;
    }
    m_socket = new QSslSocket(this);
    // Answers are read as they come; small requests go out at once.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(m_socket, &QSslSocket::readyRead, this, &NetConnection::readAvailable);
    connect(m_socket, &QSslSocket::errorOccurred, this, &NetConnection::onError);
    connect(m_socket, &QSslSocket::disconnected, this, [this] {
        readAvailable();
        if (m_state.load() == State::ready) {
            Q_EMIT received(QByteArray(), true);
            setState(State::failed, m_socket->errorString());
        }
    });
    if (m_useTls) {
        // The trust chain is evaluated and reported, and the connection goes ahead whatever
        // it says: servers commonly run on self-signed certificates, which the client pins.
        m_socket->setPeerVerifyMode(QSslSocket::QueryPeer);
        connect(m_socket, &QSslSocket::sslErrors, this, [this](const QList<QSslError>& errors) {
            qDebug() << "enterprise TLS: accepting a certificate with" << errors.size()
                     << "verification problem(s)";
            m_socket->ignoreSslErrors();
        });
        connect(m_socket, &QSslSocket::encrypted, this, [this] {
            m_certificateSha256 = QCryptographicHash::hash(m_socket->peerCertificate().toDer(),
                                                           QCryptographicHash::Sha256);
            setState(State::ready);
            readAvailable();
        });
    } else {
        connect(m_socket, &QSslSocket::connected, this, [this] { setState(State::ready); });
    }
    setState(State::preparing);
    if (m_useTls) {
        m_socket->connectToHostEncrypted(m_host, m_port);
    } else {
        m_socket->connectToHost(m_host, m_port);
    }
}

void NetConnection::cancel() {
    const State now = m_state.load();
    if (m_socket != nullptr) {
        m_socket->blockSignals(true);
        m_socket->abort();
    }
    if (now != State::cancelled) {
        setState(State::cancelled);
    }
}

bool NetConnection::send(const QByteArray& bytes) {
    if (m_state.load() != State::ready || m_socket == nullptr) {
        return false;
    }
    if (m_socket->write(bytes) != bytes.size()) {
        Q_EMIT transferFailed(m_socket->errorString());
        return false;
    }
    return true;
}

void NetConnection::readAvailable() {
    if (m_socket == nullptr || m_state.load() != State::ready) {
        return;
    }
    while (m_socket->bytesAvailable() > 0) {
        const QByteArray piece = m_socket->read(kMaxRead);
        if (piece.isEmpty()) {
            break;
        }
        Q_EMIT received(piece, false);
    }
}

void NetConnection::onError() {
    const QAbstractSocket::SocketError error = m_socket->error();
    const QString text = m_socket->errorString();
    switch (m_state.load()) {
    case State::setup:
    case State::preparing:
        // Refused, no route, unknown host, a failed handshake: before the connection stood.
        setState(State::waiting, text);
        break;
    case State::ready:
        // The peer's orderly close ends the stream (the disconnected handler); anything
        // else fails what is being transferred.
        if (error != QAbstractSocket::RemoteHostClosedError) {
            Q_EMIT transferFailed(text);
        }
        break;
    default:
        break;
    }
}

} // namespace keskor
