#include "testing/RangeServer.h"

#include <QCryptographicHash>
#include <QPointer>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace keskor::testing {

namespace {
constexpr qsizetype kMaxHeadBytes = 64 * 1024;
const QByteArray kRangePath = QByteArrayLiteral("/range/");

// Deterministic suffixes that no table entry of a test is likely to share.
QString fillerSuffix(const QByteArray& seed) {
    return QString::fromLatin1(
               QCryptographicHash::hash(seed, QCryptographicHash::Sha1).toHex().toUpper())
        .mid(5);
}

QString paddingSuffix(int n) {
    return fillerSuffix("padding" + QByteArray::number(n));
}
} // namespace

RangeServer::RangeServer(QObject* parent) : QObject(parent), m_server(new QTcpServer(this)) {
    connect(m_server, &QTcpServer::newConnection, this, &RangeServer::onNewConnection);
}

RangeServer::~RangeServer() = default;

bool RangeServer::listen() {
    return m_server->listen(QHostAddress::LocalHost, 0);
}

void RangeServer::close() {
    m_server->close();
}

quint16 RangeServer::port() const {
    return m_server->serverPort();
}

QUrl RangeServer::baseUrl() const {
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(port()));
}

void RangeServer::addHash(const QString& sha1Hex, qint64 count) {
    const QString upper = sha1Hex.toUpper();
    m_table[upper.left(5)].append({upper.mid(5), count});
}

void RangeServer::addPassword(const QString& password, qint64 count) {
    addHash(QString::fromLatin1(
                QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Sha1).toHex()),
            count);
}

int RangeServer::openConnections() const {
    return static_cast<int>(m_buffers.size());
}

void RangeServer::onNewConnection() {
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        m_buffers.insert(socket, {});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_buffers.remove(socket);
            socket->deleteLater();
        });
    }
}

void RangeServer::onReadyRead(QTcpSocket* socket) {
    QByteArray& buffer = m_buffers[socket];
    buffer += socket->readAll();
    // Requests without bodies (GET) follow one another on a kept-alive connection.
    for (;;) {
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0) {
            if (buffer.size() > kMaxHeadBytes) {
                socket->disconnectFromHost();
            }
            return;
        }
        const QList<QByteArray> lines = buffer.left(end).split('\n');
        buffer.remove(0, end + 4);
        Request request;
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        request.method = requestLine.value(0);
        request.target = requestLine.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0) {
                request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                       lines[i].mid(colon + 1).trimmed());
            }
        }
        m_requests.append(request);
        if (m_stall) {
            continue;
        }
        if (m_delay.count() > 0) {
            QPointer<QTcpSocket> guard(socket);
            QTimer::singleShot(m_delay, this, [this, guard, request] {
                if (guard && guard->state() == QAbstractSocket::ConnectedState) {
                    handle(guard, request);
                }
            });
        } else {
            handle(socket, request);
        }
    }
}

RangeServer::Response RangeServer::respond(const Request& request) const {
    static const QRegularExpression prefixForm(QStringLiteral("^[0-9A-Fa-f]{5}$"));
    if (request.method != "GET" || !request.target.startsWith(kRangePath)) {
        return {404, "Not Found"};
    }
    const QString prefix = QString::fromLatin1(request.target.mid(kRangePath.size()));
    if (!prefixForm.match(prefix).hasMatch()) {
        return {400, "The hash prefix was not in a valid format"};
    }
    if (m_status != 200) {
        return {m_status, statusText(m_status)};
    }
    if (m_emptyBody) {
        return {200, {}};
    }
    if (m_hugeBody > 0) {
        const QByteArray line = paddingSuffix(0).toLatin1() + ":1\r\n";
        QByteArray body;
        body.reserve(m_hugeBody);
        while (body.size() + line.size() <= m_hugeBody) {
            body += line;
        }
        body.append(m_hugeBody - body.size(), '\n');
        return {200, body};
    }
    if (m_rawBody) {
        return {200, *m_rawBody};
    }
    QStringList lines;
    for (int i = 0; i < m_backgroundLines; ++i) {
        lines.append(fillerSuffix(prefix.toUpper().toLatin1() + QByteArray::number(i)) + u':' +
                     QString::number(i + 1));
    }
    for (const auto& [suffix, count] : m_table.value(prefix.toUpper())) {
        lines.append(suffix + u':' + QString::number(count));
    }
    int padding = m_forcedPadding;
    if (request.headers.value("add-padding").compare("true", Qt::CaseInsensitive) == 0) {
        padding += 800;
    }
    for (int i = 0; i < padding; ++i) {
        lines.append(paddingSuffix(i + 1) + QStringLiteral(":0"));
    }
    return {200, lines.join(QStringLiteral("\r\n")).toLatin1()};
}

void RangeServer::handle(QTcpSocket* socket, const Request& request) {
    const Response response = respond(request);
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' +
                      statusText(response.status) + "\r\n";
    head += "Content-Type: text/plain\r\n";
    head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    head += "\r\n";
    socket->write(head);
    socket->write(response.body);
}

QByteArray RangeServer::statusText(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 404:
        return "Not Found";
    case 429:
        return "Too Many Requests";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

} // namespace keskor::testing
