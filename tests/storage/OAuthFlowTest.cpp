#include "storage/OAuthFlow.h"

#include "platform/MemoryKeychain.h"
#include "storage/OAuthSession.h"
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
    /// Bodies of the uploads the service accepted.
    QList<QByteArray> uploads;
    HttpServer server{[this](const HttpServer::Request& r) {
        if (r.path() == QLatin1String("/upload")) {
            if (!oauth.isValidAccessToken(r.headers.value("authorization"))) {
                return HttpServer::Response::json(401, R"({"error":"InvalidAuthenticationToken"})");
            }
            uploads.append(r.body);
            return HttpServer::Response::json(200, "{}");
        }
        return oauth.handle(r).value_or(HttpServer::Response::json(404, "{}"));
    }};
    QNetworkAccessManager network;
    QNetworkAccessManager browserNetwork;
    HttpClient http{network, [](const QString& key) { return key; }};
};

// The loopback sign-in and the refresh themselves are driven by the provider tests.
TEST(OAuthTokensTest, RenewAMinuteEarlyAndSurviveTheirStoredForm) {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    OAuthFlow::Tokens tokens{
        QStringLiteral("access"), QStringLiteral("refresh"), now.addSecs(61), {}};
    EXPECT_FALSE(tokens.expiresSoon(now));
    EXPECT_TRUE(tokens.expiresSoon(now.addSecs(2)));
    const std::optional<OAuthFlow::Tokens> stored = OAuthFlow::Tokens::fromJson(tokens.toJson());
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->refreshToken, tokens.refreshToken);
    EXPECT_EQ(stored->expiresAt.toSecsSinceEpoch(), tokens.expiresAt.toSecsSinceEpoch());
    tokens.expiresAt = QDateTime(); // the answer named no lifetime
    EXPECT_FALSE(tokens.expiresSoon(now.addYears(1)));
    for (const char* bad : {"", "{", "[]", R"({"refresh_token":"r"})"}) {
        EXPECT_FALSE(OAuthFlow::Tokens::fromJson(QString::fromLatin1(bad))) << bad;
    }
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

// A token that expires in the middle of an upload is refreshed and the upload sent once more,
// whole; a refused refresh forgets the tokens and uploads nothing.
TEST_F(OAuthFlowTest, SessionRefreshesOnceAfterAnExpiredTokenAndNeverUploadsHalf) {
    OAuthFlow flow(http, config(), browser(), [](const QString& key) { return key; });
    MemoryKeychain keychain;
    OAuthSession session(http, flow, keychain, QStringLiteral("com.example.test"));
    bool signedIn = false;
    QString failure;
    session.signIn([&] { signedIn = true; }, [&](const QString& m) { failure = m; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return signedIn || !failure.isEmpty(); }, 10000));
    ASSERT_TRUE(signedIn) << failure.toStdString();
    ASSERT_TRUE(OAuthSession(http, flow, keychain, QStringLiteral("com.example.test")).hasTokens())
        << "a restart finds the stored tokens";

    const QByteArray database(200 * 1024, 'd');
    HttpClient::Request upload;
    upload.method = "PUT";
    upload.url = server.baseUrl().resolved(QUrl(QStringLiteral("/upload")));
    upload.body = database;
    const auto sendUpload = [&] {
        int calls = 0;
        failure.clear();
        session.send(
            upload, [&](const HttpClient::Response&) { ++calls; },
            [&](const QString& m, int) {
                ++calls;
                failure = m;
            });
        EXPECT_TRUE(QTest::qWaitFor([&] { return calls > 0; }, 10000));
        QTest::qWait(20);
        EXPECT_EQ(calls, 1);
    };

    oauth.expireAccessTokens();
    sendUpload();
    EXPECT_TRUE(failure.isEmpty()) << failure.toStdString();
    EXPECT_EQ(oauth.refreshes(), 1);
    ASSERT_EQ(uploads.size(), 1);
    EXPECT_EQ(uploads.first(), database);

    oauth.expireAccessTokens();
    oauth.revokeRefreshTokens();
    sendUpload();
    EXPECT_EQ(failure, QStringLiteral("authorization failed"));
    EXPECT_EQ(uploads.size(), 1);
    EXPECT_FALSE(session.hasTokens());
    EXPECT_FALSE(keychain.get(QStringLiteral("com.example.test")));
}

} // namespace
} // namespace keskor
