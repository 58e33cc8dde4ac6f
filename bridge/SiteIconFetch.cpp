#include "bridge/SiteIconFetch.h"

#include <QBuffer>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QTimer>

namespace keskor {

namespace {

struct IconLink {
    QUrl url;
    /// The largest edge named in "sizes"; 0 without usable sizes.
    int size = 0;
};

QString attributeValue(const QRegularExpressionMatch& m) {
    for (int group = 2; group <= 4; ++group) {
        if (m.capturedStart(group) >= 0) {
            return m.captured(group);
        }
    }
    return {};
}

bool isIconRel(const QString& rel) {
    const auto tokens =
        rel.toLower().split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    for (const auto& token : tokens) {
        if (token == QLatin1String("icon") || token == QLatin1String("apple-touch-icon")) {
            return true;
        }
    }
    return false;
}

int largestSize(const QString& sizes) {
    static const QRegularExpression pattern(QStringLiteral("(\\d{1,5})[xX](\\d{1,5})"));
    int largest = 0;
    for (auto it = pattern.globalMatch(sizes); it.hasNext();) {
        const auto m = it.next();
        largest = std::max({largest, m.captured(1).toInt(), m.captured(2).toInt()});
    }
    return largest;
}

// Rank of a link: lower is better.
qint64 rank(const IconLink& link) {
    constexpr int wanted = SiteIconFetch::kIconSize;
    if (link.size >= wanted) {
        return link.size - wanted;
    }
    if (link.size == 0) {
        return 100'000;
    }
    return 200'000 - link.size;
}

} // namespace

SiteIconFetch::SiteIconFetch(QNetworkAccessManager& network, Clock& clock, qint64 timeoutMs)
    : m_network(network), m_clock(clock), m_timeoutMs(timeoutMs) {}

SiteIconFetch::~SiteIconFetch() {
    // A finished fetch may be deleted later than the clock lives: it touches nothing then.
    if (m_timeout != 0) {
        m_clock.cancel(m_timeout);
    }
    dropReply();
}

void SiteIconFetch::dropReply() {
    if (m_reply == nullptr) {
        return;
    }
    m_reply->disconnect(this);
    m_reply->abort();
    m_reply->deleteLater();
    m_reply = nullptr;
}

void SiteIconFetch::start(const QString& siteUrl, Callback done) {
    m_done = std::move(done);
    QString text = siteUrl.trimmed();
    if (!text.contains(QLatin1String("://"))) {
        text.prepend(QLatin1String("https://"));
    }
    m_siteUrl = QUrl(text, QUrl::StrictMode);
    const QString scheme = m_siteUrl.scheme().toLower();
    if (!m_siteUrl.isValid() || m_siteUrl.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        // Still from the event loop, as promised.
        QTimer::singleShot(0, this, [this] { finish(std::nullopt); });
        return;
    }
    m_timeout = m_clock.singleShot(m_timeoutMs, [this] {
        m_timeout = 0;
        finish(std::nullopt);
    });
    m_reply = get(m_siteUrl, kMaxPageBytes);
    connect(m_reply, &QNetworkReply::finished, this, &SiteIconFetch::onPageFinished);
}

QNetworkReply* SiteIconFetch::get(const QUrl& url, qint64 maxBytes) {
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    QNetworkReply* reply = m_network.get(request);
    connect(reply, &QNetworkReply::downloadProgress, this,
            [reply, maxBytes](qint64 received, qint64) {
                if (received > maxBytes) {
                    reply->abort();
                }
            });
    return reply;
}

void SiteIconFetch::onPageFinished() {
    QNetworkReply* reply = std::exchange(m_reply, nullptr);
    reply->deleteLater();
    QUrl iconUrl;
    if (reply->error() == QNetworkReply::NoError) {
        iconUrl = preferredIconUrl(reply->readAll(), reply->url());
    } else {
        // A site without a readable page may still serve its icon.
        iconUrl = preferredIconUrl({}, m_siteUrl);
    }
    m_reply = get(iconUrl, kMaxIconBytes);
    connect(m_reply, &QNetworkReply::finished, this, &SiteIconFetch::onIconFinished);
}

void SiteIconFetch::onIconFinished() {
    QNetworkReply* reply = std::exchange(m_reply, nullptr);
    reply->deleteLater();
    if (reply->error() != QNetworkReply::NoError) {
        finish(std::nullopt);
        return;
    }
    finish(toIconPng(reply->readAll()));
}

void SiteIconFetch::finish(std::optional<QByteArray> png) {
    if (m_finished) {
        return;
    }
    m_finished = true;
    m_clock.cancel(std::exchange(m_timeout, 0));
    dropReply();
    if (m_done) {
        // The callback may destroy this object: nothing of it is touched afterwards.
        auto done = std::move(m_done);
        done(std::move(png));
    }
}

QUrl SiteIconFetch::preferredIconUrl(const QByteArray& html, const QUrl& pageUrl) {
    static const QRegularExpression linkPattern(QStringLiteral("<link\\b[^>]*>"),
                                                QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression attributePattern(
        QStringLiteral("([a-zA-Z][a-zA-Z0-9_:-]*)\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s>]+))"));

    const QString text = QString::fromUtf8(html);
    std::optional<IconLink> best;
    for (auto links = linkPattern.globalMatch(text); links.hasNext();) {
        const QString tag = links.next().captured(0);
        QString rel;
        QString href;
        QString sizes;
        for (auto attrs = attributePattern.globalMatch(tag); attrs.hasNext();) {
            const auto m = attrs.next();
            const QString name = m.captured(1).toLower();
            if (name == QLatin1String("rel")) {
                rel = attributeValue(m);
            } else if (name == QLatin1String("href")) {
                href = attributeValue(m);
            } else if (name == QLatin1String("sizes")) {
                sizes = attributeValue(m);
            }
        }
        if (!isIconRel(rel) || href.isEmpty()) {
            continue;
        }
        href.replace(QLatin1String("&amp;"), QLatin1String("&"));
        const QUrl url = pageUrl.resolved(QUrl(href.trimmed()));
        const QString scheme = url.scheme().toLower();
        if (!url.isValid() ||
            (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
            continue;
        }
        const IconLink link{url, largestSize(sizes)};
        if (!best || rank(link) < rank(*best)) {
            best = link;
        }
    }
    if (best) {
        return best->url;
    }
    QUrl fallback = pageUrl;
    fallback.setPath(QStringLiteral("/favicon.ico"));
    fallback.setQuery(QString());
    fallback.setFragment(QString());
    return fallback;
}

std::optional<QByteArray> SiteIconFetch::toIconPng(const QByteArray& imageBytes) {
    QImage image;
    if (imageBytes.isEmpty() || !image.loadFromData(imageBytes) || image.isNull()) {
        return std::nullopt;
    }
    if (image.width() != kIconSize || image.height() != kIconSize) {
        image = image.scaled(kIconSize, kIconSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        return std::nullopt;
    }
    return png;
}

} // namespace keskor
