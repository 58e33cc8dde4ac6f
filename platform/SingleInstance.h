#pragma once
// Keeps one desktop program per user and profile: the first process listens on a local socket,
// a later one hands its arguments (URLs, database paths) to it and exits. The message is a
// 4-byte big-endian length followed by UTF-8 JSON {"arguments": [...]}; the first process
// answers one acknowledgement byte. Anything else a client sends is dropped with its
// connection. Create it on the main thread; argumentsReceived is emitted there.

#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

namespace keskor {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    /// Messages above this are refused before they are read.
    static constexpr qint32 kMaxMessageBytes = 1024 * 1024;
    /// How long a client may take to send its message.
    static constexpr int kDefaultConnectionTimeoutMs = 2000;
    /// How long a later process waits for the first one to acknowledge.
    static constexpr int kDefaultHandOffTimeoutMs = 2000;

    enum class Start {
        /// This is the first process; it now listens.
        primary,
        /// A running process took the arguments; this one should exit with success.
        handedOff,
        /// Neither: no socket could be set up. Run on alone.
        unavailable,
    };

    /// The socket of a profile: in XDG_RUNTIME_DIR when that is set (it is private to the
    /// user), otherwise a bare name that Qt places in the temporary folder. The profile root
    /// and user id are hashed into it so that two profiles or two users never meet.
    static QString serverNameFor(const QString& profileRoot);

    explicit SingleInstance(QString serverName, QObject* parent = nullptr);
    ~SingleInstance() override;

    /// Hands `arguments` to a running process if there is one, otherwise starts listening.
    Start start(const QStringList& arguments, int handOffTimeoutMs = kDefaultHandOffTimeoutMs);

    /// Starts listening. A socket left by a crashed process is removed first; a live one
    /// makes this fail. True while listening.
    bool listen();
    bool isListening() const;
    /// Sends `arguments` to the running process and waits for its acknowledgement, running a
    /// local event loop meanwhile. False when there is none or it did not answer in time.
    bool handOff(const QStringList& arguments, int timeoutMs = kDefaultHandOffTimeoutMs);

    QString serverName() const { return m_serverName; }
    void setConnectionTimeout(int ms) { m_connectionTimeoutMs = ms; }

    /// The message for `arguments` as it goes over the socket.
    static QByteArray encode(const QStringList& arguments);

Q_SIGNALS:
    void argumentsReceived(const QStringList& arguments);

private:
    void accept();
    void readFrom(QLocalSocket* socket);
    bool isServerAlive() const;

    QString m_serverName;
    QLocalServer* m_server = nullptr;
    int m_connectionTimeoutMs = kDefaultConnectionTimeoutMs;
};

} // namespace keskor
