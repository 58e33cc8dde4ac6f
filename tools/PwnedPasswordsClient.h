#pragma once
// Asks the breached-password range service how often a password occurs in known breaches,
// without the password leaving the machine: only the first five hexadecimal characters of its
// SHA-1 digest are sent (k-anonymity), and the returned suffixes are matched here.
//
// Asynchronous on the Qt event loop of the thread that owns the client (the main thread).
// Every failure (transport error, HTTP error status, timeout, empty or oversized body) ends in
// the failure callback; the password itself never appears in a URL, a log or a message.

#include "platform/Deployment.h"
#include "platform/UiText.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <chrono>
#include <functional>

class QNetworkAccessManager;
class QNetworkReply;

namespace keskor {

class PwnedPasswordsClient : public QObject {
    Q_OBJECT
public:
    struct Config {
        /// Scheme, host, port and an optional path below which "/range/" lies.
        QUrl baseUrl = Deployment::Pwned{}.baseUrl;
        /// The value of the "hibp-api-key" header (a deployment value).
        QByteArray apiKey;
        /// Longest pause in the transfer before it fails.
        std::chrono::milliseconds timeout{15000};
        /// A real answer holds a few thousand lines (~40 kB); anything beyond this is refused.
        qint64 maxBodyBytes = 1024 * 1024;
    };

    using ResultCallback = std::function<void(qint64 count)>;
    /// The whole answer for one prefix: "SUFFIX:COUNT" lines.
    using RangeCallback = std::function<void(const QByteArray& body)>;
    /// A key ("pwned_failed") or a transport error's own text.
    using FailureCallback = std::function<void(const UiText& message)>;

    /// The service of a deployment, with the default timeout and bound.
    static Config configFor(const Deployment::Pwned& service) {
        Config config;
        config.baseUrl = service.baseUrl;
        config.apiKey = service.apiKey;
        return config;
    }

    PwnedPasswordsClient(QNetworkAccessManager& network, Config config, QObject* parent = nullptr);
    /// Pending checks are aborted; their callbacks are not called.
    ~PwnedPasswordsClient() override;

    /// The 40 lower-case hexadecimal characters of the SHA-1 digest of the UTF-8 bytes.
    static QString digestText(const QString& password);
    /// What is sent: the digest's first five characters, upper case.
    static QString rangePrefix(const QString& digest) { return digest.left(5).toUpper(); }
    static QString rangeSuffix(const QString& digest) { return digest.mid(5); }
    QUrl rangeUrl(const QString& prefix) const;

    /// Starts one request and returns at once; exactly one callback runs later, on this
    /// object's thread.
    void checkPassword(const QString& password, ResultCallback onResult, FailureCallback onFailure);
    /// The same request for a prefix computed by the caller, so that passwords sharing one
    /// are checked with a single request; the body is non-empty and within the bound.
    void fetchRange(const QString& prefix, RangeCallback onBody, FailureCallback onFailure);

private:
    struct Pending {
        QPointer<QNetworkReply> reply;
        QByteArray body;
        bool tooLarge = false;
        RangeCallback onBody;
        FailureCallback onFailure;
    };
    void onReadyRead(QNetworkReply* reply);
    void onFinished(QNetworkReply* reply);
    Pending* pendingFor(QNetworkReply* reply);

    QNetworkAccessManager& m_network;
    Config m_config;
    QList<Pending> m_pending;
};

} // namespace keskor
