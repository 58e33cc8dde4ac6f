#pragma once
// A small stand-in for the breached-password range service, on 127.0.0.1 over real sockets.
// It answers "GET /range/XXXXX" (five hexadecimal characters, any case) with the suffixes of
// the hashes it was given that share the prefix, after a few other suffixes of that prefix
// (every real prefix has hundreds), one "SUFFIX:COUNT" line each in upper case,
// CR LF between lines and none after the last, as the real service does; with the
// "Add-Padding: true" request header (or forced padding) it adds lines with count 0. A prefix
// that is not five hexadecimal characters gets 400, another path 404.
//
// For failure tests it can be told to wait before answering, to stall (never answer), to
// answer with a status code, an empty body, a body of a given size, or a raw body. Every
// request's method, target and headers are recorded.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QUrl>
#include <chrono>
#include <optional>

class QTcpServer;
class QTcpSocket;

namespace keskor::testing {

class RangeServer : public QObject {
    Q_OBJECT
public:
    struct Request {
        QByteArray method;
        QByteArray target;
        /// Header names in lower case.
        QMap<QByteArray, QByteArray> headers;
    };

    explicit RangeServer(QObject* parent = nullptr);
    ~RangeServer() override;

    /// Listens on an ephemeral port of 127.0.0.1.
    bool listen();
    /// Stops listening (a later connection is refused); open connections stay.
    void close();
    quint16 port() const;
    /// http://127.0.0.1:<port>
    QUrl baseUrl() const;

    /// The table: a SHA-1 digest (40 hexadecimal characters, any case) and its count.
    void addHash(const QString& sha1Hex, qint64 count);
    /// The digest of the password's UTF-8 bytes, as the client computes it.
    void addPassword(const QString& password, qint64 count);

    /// Lines of other suffixes with non-zero counts in every answer; 4 unless set.
    void setBackgroundLines(int lines) { m_backgroundLines = lines; }
    /// Padding lines with count 0 added to every answer (besides those asked for).
    void setPaddingLines(int lines) { m_forcedPadding = lines; }
    void setDelay(std::chrono::milliseconds delay) { m_delay = delay; }
    /// Accepts and reads requests but never answers.
    void setStalling(bool stall) { m_stall = stall; }
    /// Answers every range request with this status and its usual body text.
    void setStatus(int status) { m_status = status; }
    void setEmptyBody(bool empty) { m_emptyBody = empty; }
    /// A body of exactly this many bytes, made of well-formed lines that match nothing.
    void setHugeBody(qint64 bytes) { m_hugeBody = bytes; }
    /// This body in place of the table's lines.
    void setRawBody(const QByteArray& body) { m_rawBody = body; }

    const QList<Request>& requests() const noexcept { return m_requests; }
    /// Connections currently open (a stalled client that gave up closes its own).
    int openConnections() const;

private:
    struct Response {
        int status = 200;
        QByteArray body;
    };
    void onNewConnection();
    void onReadyRead(QTcpSocket* socket);
    void handle(QTcpSocket* socket, const Request& request);
    Response respond(const Request& request) const;
    static QByteArray statusText(int status);

    QTcpServer* m_server;
    /// Prefix (upper case) -> suffix (upper case) -> count, in insertion order per prefix.
    QHash<QString, QList<QPair<QString, qint64>>> m_table;
    QHash<QTcpSocket*, QByteArray> m_buffers;
    QList<Request> m_requests;
    int m_backgroundLines = 4;
    int m_forcedPadding = 0;
    std::chrono::milliseconds m_delay{0};
    bool m_stall = false;
    int m_status = 200;
    bool m_emptyBody = false;
    qint64 m_hugeBody = 0;
    std::optional<QByteArray> m_rawBody;
};

} // namespace keskor::testing
