#pragma once
// One download of a web site's preferred icon, as a 40 by 40 PNG: the page is read for its
// <link rel="...icon..."> elements (the smallest one of at least 40 pixels wins, then one
// without sizes, then the largest smaller one), falling back to /favicon.ico. The whole fetch
// is bounded by a timeout on the injected clock, so a slow or silent site never holds up the
// entry waiting for it. The callback runs exactly once, always from the event loop, with the
// PNG bytes or nothing; destroying the fetch first cancels it without a callback.

#include "platform/Clock.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

namespace keskor {

class SiteIconFetch : public QObject {
    Q_OBJECT
public:
    using Callback = std::function<void(std::optional<QByteArray> png)>;

    static constexpr int kIconSize = 40;
    static constexpr qint64 kDefaultTimeoutMs = 10'000;
    /// Larger pages and icons are not read any further.
    static constexpr qint64 kMaxPageBytes = 1024 * 1024;
    static constexpr qint64 kMaxIconBytes = 1024 * 1024;

    SiteIconFetch(QNetworkAccessManager& network, Clock& clock,
                  qint64 timeoutMs = kDefaultTimeoutMs);
    ~SiteIconFetch() override;
    SiteIconFetch(const SiteIconFetch&) = delete;
    SiteIconFetch& operator=(const SiteIconFetch&) = delete;

    /// Starts fetching the icon of the site at `siteUrl` (a scheme is assumed to be https when
    /// it is missing). Call once.
    void start(const QString& siteUrl, Callback done);

    /// The icon address a page offers, resolved against `pageUrl`; /favicon.ico of its host
    /// when the page names none.
    static QUrl preferredIconUrl(const QByteArray& html, const QUrl& pageUrl);
    /// The image scaled to 40 by 40 pixels as PNG, or nothing when it is no image.
    static std::optional<QByteArray> toIconPng(const QByteArray& imageBytes);

private:
    QNetworkReply* get(const QUrl& url, qint64 maxBytes);
    void onPageFinished();
    void onIconFinished();
    void finish(std::optional<QByteArray> png);
    void dropReply();

    QNetworkAccessManager& m_network;
    Clock& m_clock;
    qint64 m_timeoutMs;
    Callback m_done;
    QUrl m_siteUrl;
    QNetworkReply* m_reply = nullptr;
    Clock::TimerId m_timeout = 0;
    bool m_finished = false;
};

} // namespace keskor
