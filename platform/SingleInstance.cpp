#include "platform/SingleInstance.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <QtEndian>
#include <optional>
#include <unistd.h>

namespace keskor {

namespace {

constexpr char kAck = '\x06';
constexpr qint64 kHeaderBytes = 4;
// How long a probe waits to learn whether a socket file has a live server behind it. A local
// connect is answered by the kernel, so this only matters on a machine under heavy load.
constexpr int kProbeTimeoutMs = 500;
// Unix socket paths must fit into sockaddr_un (108 bytes on Linux, with its terminating zero).
constexpr qsizetype kMaxSocketPath = 100;
const QString kArguments = QStringLiteral("arguments");

std::optional<QStringList> decode(const QByteArray& body) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    const QJsonValue list = document.object().value(kArguments);
    if (!list.isArray()) {
        return std::nullopt;
    }
    QStringList arguments;
    for (const QJsonValue& value : list.toArray()) {
        if (!value.isString()) {
            return std::nullopt;
        }
        arguments << value.toString();
    }
    return arguments;
}

void drop(QLocalSocket* socket, const char* why) {
    qWarning().noquote() << "single instance: dropped a connection:" << why;
    socket->abort();
    socket->deleteLater();
}

} // namespace

QString SingleInstance::serverNameFor(const QString& profileRoot) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(QByteArray::number(qulonglong(::getuid())));
    hash.addData(QByteArrayView("\0", 1));
    hash.addData(QDir::cleanPath(QFileInfo(profileRoot).absoluteFilePath()).toUtf8());
    const QString name =
        QStringLiteral("keskor-") + QString::fromLatin1(hash.result().toHex().left(16));

    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir()) {
        const QString path = QDir(runtime).filePath(name);
        if (path.toLocal8Bit().size() < kMaxSocketPath) {
            return path;
        }
    }
    return name;
}

SingleInstance::SingleInstance(QString serverName, QObject* parent)
    : QObject(parent), m_serverName(std::move(serverName)) {}

SingleInstance::~SingleInstance() = default;

SingleInstance::Start SingleInstance::start(const QStringList& arguments, int handOffTimeoutMs) {
    if (handOff(arguments, handOffTimeoutMs)) {
        return Start::handedOff;
    }
    return listen() ? Start::primary : Start::unavailable;
}

bool SingleInstance::isListening() const {
    return m_server && m_server->isListening();
}

bool SingleInstance::isServerAlive() const {
    QLocalSocket probe;
    probe.connectToServer(m_serverName);
    const bool alive = probe.waitForConnected(kProbeTimeoutMs);
    probe.abort();
    return alive;
}

bool SingleInstance::listen() {
    if (isListening()) {
        return true;
    }
    // Qt would put a new socket in place of a live one, so check first. Two processes starting
    // in the same instant can still both get here; the later one then wins the name.
    if (isServerAlive()) {
        return false;
    }
    // Left behind by a process that crashed; nobody answers on it.
    QLocalServer::removeServer(m_serverName);
    if (!m_server) {
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::accept);
    }
    if (!m_server->listen(m_serverName)) {
        qWarning().noquote() << "single instance: cannot listen on" << m_serverName << ":"
                             << m_server->errorString();
        return false;
    }
    return true;
}

void SingleInstance::accept() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        // A client that stops half-way must not hold its connection (and memory) for ever.
        socket->setReadBufferSize(kHeaderBytes + kMaxMessageBytes);
        auto* timer = new QTimer(socket);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, socket, [socket] {
            if (socket->state() != QLocalSocket::UnconnectedState) {
                drop(socket, "the client did not finish in time");
            }
        });
        timer->start(m_connectionTimeoutMs);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        readFrom(socket);
    }
}

void SingleInstance::readFrom(QLocalSocket* socket) {
    if (socket->property("keskorAnswered").toBool() || socket->bytesAvailable() < kHeaderBytes) {
        return;
    }
    const QByteArray header = socket->peek(kHeaderBytes);
    const qint32 length = qFromBigEndian<qint32>(header.constData());
    if (length < 0 || length > kMaxMessageBytes) {
        drop(socket, "the message is too long");
        return;
    }
    if (socket->bytesAvailable() < kHeaderBytes + length) {
        return;
    }
    socket->skip(kHeaderBytes);
    const std::optional<QStringList> arguments = decode(socket->read(length));
    if (!arguments) {
        drop(socket, "the message is not a list of arguments");
        return;
    }
    socket->setProperty("keskorAnswered", true);
    socket->write(&kAck, 1);
    socket->disconnectFromServer();
    // Queued: the receiver may open a modal prompt, which must not run inside this socket's
    // signal.
    QTimer::singleShot(0, this, [this, args = *arguments] { Q_EMIT argumentsReceived(args); });
}

QByteArray SingleInstance::encode(const QStringList& arguments) {
    const QByteArray body =
        QJsonDocument(QJsonObject{{kArguments, QJsonArray::fromStringList(arguments)}})
            .toJson(QJsonDocument::Compact);
    QByteArray message(kHeaderBytes, Qt::Uninitialized);
    qToBigEndian<qint32>(qint32(body.size()), message.data());
    return message + body;
}

bool SingleInstance::handOff(const QStringList& arguments, int timeoutMs) {
    const QByteArray message = encode(arguments);
    if (message.size() > kHeaderBytes + kMaxMessageBytes) {
        qWarning().noquote() << "single instance: the arguments are too long to hand over";
        return false;
    }
    QLocalSocket socket;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    bool acknowledged = false;
    bool finished = false;
    const auto finish = [&] {
        if (!acknowledged && socket.bytesAvailable() > 0) {
            acknowledged = socket.read(1) == QByteArray(1, kAck);
        }
        finished = true;
        loop.quit();
    };
    connect(&timer, &QTimer::timeout, &loop, finish);
    connect(&socket, &QLocalSocket::connected, &loop, [&] { socket.write(message); });
    connect(&socket, &QLocalSocket::readyRead, &loop, finish);
    connect(&socket, &QLocalSocket::errorOccurred, &loop, finish);
    connect(&socket, &QLocalSocket::disconnected, &loop, finish);
    timer.start(timeoutMs);
    socket.connectToServer(m_serverName);
    if (!finished) {
        loop.exec();
    }
    socket.abort();
    return acknowledged;
}

} // namespace keskor
