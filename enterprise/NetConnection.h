#pragma once
// One TCP or TLS connection to an enterprise server with the states the client acts on:
// setup, preparing, waiting (an error before the connection stood), ready, failed (lost after
// being ready) and cancelled. Lives on the client's connection thread; every signal is emitted
// there. With TLS any certificate is accepted here: trust on first use is the client's job.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <atomic>

class QSslSocket;

namespace keskor {

class NetConnection : public QObject {
    Q_OBJECT
public:
    enum class State : int { setup = 0, preparing, waiting, ready, failed, cancelled };
    static const char* stateName(State state);

    NetConnection(QString host, quint16 port, bool useTls);
    ~NetConnection() override;

    /// Starts connecting (setup → preparing).
    void start();
    /// Forcibly ends the connection; reports cancelled unless it already ended.
    void cancel();
    /// Queues bytes for sending; false when the connection is not ready.
    bool send(const QByteArray& bytes);

    /// Readable from any thread.
    State state() const noexcept { return m_state.load(); }
    /// SHA-256 of the server certificate (DER); empty without TLS.
    QByteArray certificateSha256() const { return m_certificateSha256; }

Q_SIGNALS:
    /// `error` is set for waiting and failed.
    void stateChanged(keskor::NetConnection::State state, const QString& error);
    /// A piece of at most 65535 bytes; `endOfStream` when the peer closed after it.
    void received(const QByteArray& bytes, bool endOfStream);
    /// A send or receive error once the connection stood (not the peer's orderly close).
    void transferFailed(const QString& error);

private:
    void setState(State state, const QString& error = {});
    void readAvailable();
    void onError();

    QString m_host;
    quint16 m_port;
    bool m_useTls;
    QSslSocket* m_socket = nullptr;
    std::atomic<State> m_state{State::setup};
    QByteArray m_certificateSha256;
};

} // namespace keskor
