#include "storage/OAuthFlow.h"

#include "testing/FakeOAuthServer.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTest>
#include <gtest/gtest.h>

namespace keskor {
namespace {

using testing::FakeOAuthServer;
using testing::HttpServer;

class OAuthFlowTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.listen()); }

    OAuthFlow::Config config() const {
        return {server.baseUrl().resolved(QUrl(QStringLiteral("/authorize"))),
                server.baseUrl().resolved(QUrl(QStringLiteral("/token"))),
                QStringLiteral("client-of-test"),
                {},
                {QStringLiteral("files")},
                {}};
    }
    /// The browser: it follows the provider's redirect back to the loopback listener.
    OAuthFlow::OpenBrowser browser() {
        return [this](const QUrl& url) {
            QNetworkReply* reply = browserNetwork.get(QNetworkRequest(url));
            QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
        };
    }

    FakeOAuthServer oauth;
    HttpServer server{[this](const HttpServer::Request& r) {
        return oauth.handle(r).value_or(HttpServer::Response::json(404, "{}"));
    }};
    QNetworkAccessManager network;
    QNetworkAccessManager browserNetwork;
    HttpClient http{network, [](const QString& key) { return key; }};
};

TEST_F(OAuthFlowTest, SignsInThroughTheLoopbackWithPkceAndRefreshes) {
    OAuthFlow flow(http, config(), browser(), [](const QString& key) { return key; });
    std::optional<OAuthFlow::Tokens> tokens;
    QString failure;
    flow.authorize([&](const OAuthFlow::Tokens& t) { tokens = t; },
                   [&](const QString& m) { failure = m; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return tokens || !failure.isEmpty(); }, 10000));
    ASSERT_TRUE(tokens) << failure.toStdString();
    EXPECT_TRUE(oauth.isValidAccessToken("Bearer " + tokens->accessToken.toLatin1()));
    EXPECT_FALSE(tokens->expiresSoon(QDateTime::currentDateTimeUtc()));
    EXPECT_TRUE(tokens->expiresSoon(QDateTime::currentDateTimeUtc().addSecs(3600)));
    const std::optional<OAuthFlow::Tokens> stored = OAuthFlow::Tokens::fromJson(tokens->toJson());
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->refreshToken, tokens->refreshToken);
    EXPECT_EQ(stored->expiresAt.toSecsSinceEpoch(), tokens->expiresAt.toSecsSinceEpoch());

    oauth.expireAccessTokens();
    std::optional<OAuthFlow::Tokens> refreshed;
    flow.refresh(
        stored->refreshToken, [&](const OAuthFlow::Tokens& t) { refreshed = t; },
        [&](const QString& m) { failure = m; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return refreshed || !failure.isEmpty(); }, 10000));
    ASSERT_TRUE(refreshed) << failure.toStdString();
    EXPECT_TRUE(oauth.isValidAccessToken("Bearer " + refreshed->accessToken.toLatin1()));
}

// A refused refresh token or a browser return without a code both end in the sign-in text.
TEST_F(OAuthFlowTest, RefusedGrantsFailWithTheSignInText) {
    OAuthFlow flow(http, config(), browser(), [](const QString& key) { return key; });
    QString failure;
    flow.refresh(
        QStringLiteral("never-issued"), [](const OAuthFlow::Tokens&) { FAIL(); },
        [&](const QString& m) { failure = m; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return !failure.isEmpty(); }, 10000));
    EXPECT_EQ(failure, QStringLiteral("authorization failed"));

    failure.clear();
    OAuthFlow::Config noCode = config();
    // The provider's page answers without sending the browser back: only a direct return
    // carrying the state but no code reaches the listener.
    OAuthFlow denied(
        http, noCode,
        [this](const QUrl& url) {
            const QUrlQuery query(url);
            QUrl back(query.queryItemValue(QStringLiteral("redirect_uri"), QUrl::FullyDecoded));
            back.setQuery(QStringLiteral("error=access_denied&state=") +
                          query.queryItemValue(QStringLiteral("state")));
            QNetworkReply* reply = browserNetwork.get(QNetworkRequest(back));
            QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
        },
        [](const QString& key) { return key; });
    denied.authorize([](const OAuthFlow::Tokens&) { FAIL(); },
                     [&](const QString& m) { failure = m; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return !failure.isEmpty(); }, 10000));
    EXPECT_EQ(failure, QStringLiteral("authorization failed"));
    EXPECT_EQ(oauth.tokensIssued(), 0);
}

} // namespace
} // namespace keskor
