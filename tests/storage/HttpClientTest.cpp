#include "storage/HttpClient.h"

#include "testing/HttpServer.h"

#include <QNetworkAccessManager>
#include <QTest>
#include <gtest/gtest.h>
#include <optional>

namespace keskor {
namespace {

using testing::HttpServer;

struct Exchange {
    const char* name;
    HttpServer::Handler handler;
    qint64 maxBodyBytes;
    /// Empty: the request must succeed with the body "content".
    QString failureContains;
    int failureStatus;
};

void PrintTo(const Exchange& exchange, std::ostream* os) {
    *os << exchange.name;
}

class HttpClientAnswers : public ::testing::TestWithParam<Exchange> {};

// Every answer a provider can meet ends in exactly one callback with a text fit to show; a
// failure never hands a partial body on as if it were the file.
TEST_P(HttpClientAnswers, EndInOneCallbackWithTheConventionalText) {
    HttpServer server(GetParam().handler);
    ASSERT_TRUE(server.listen());
    QNetworkAccessManager network;
    HttpClient client(network, [](const QString& key) { return key; });
    HttpClient::Request request;
    request.url = server.baseUrl().resolved(QUrl(QStringLiteral("/start")));
    request.maxBodyBytes = GetParam().maxBodyBytes;
    int calls = 0;
    std::optional<HttpClient::Response> response;
    QString message;
    int status = -1;
    client.send(
        request,
        [&](const HttpClient::Response& r) {
            ++calls;
            response = r;
        },
        [&](const QString& m, int s) {
            ++calls;
            message = m;
            status = s;
        });
    ASSERT_TRUE(QTest::qWaitFor([&] { return calls > 0; }, 10000));
    QTest::qWait(50);
    EXPECT_EQ(calls, 1);
    if (GetParam().failureContains.isEmpty()) {
        ASSERT_TRUE(response) << message.toStdString();
        EXPECT_EQ(response->body, QByteArray("content"));
        EXPECT_EQ(response->finalUrl.path(), QStringLiteral("/file"));
    } else {
        ASSERT_FALSE(response);
        EXPECT_TRUE(message.contains(GetParam().failureContains, Qt::CaseInsensitive))
            << message.toStdString();
        EXPECT_EQ(status, GetParam().failureStatus);
    }
}

HttpServer::Response fileOrRedirect(const HttpServer::Request& r) {
    if (r.path() == QLatin1String("/start")) {
        return HttpServer::Response::redirect(QUrl(QStringLiteral("/file")));
    }
    return HttpServer::Response{200, {}, "content", -1};
}

INSTANTIATE_TEST_SUITE_P(
    Answers, HttpClientAnswers,
    ::testing::Values(Exchange{"RedirectFollowed", fileOrRedirect, 1024, {}, 0},
                      Exchange{"ServerError",
                               [](const HttpServer::Request&) {
                                   return HttpServer::Response::json(500, R"({"error":"boom"})");
                               },
                               1024, QStringLiteral("Internal Server Error"), 500},
                      Exchange{"RedirectLoop",
                               [](const HttpServer::Request&) {
                                   return HttpServer::Response::redirect(
                                       QUrl(QStringLiteral("/start")));
                               },
                               1024, QStringLiteral("redirect"), 302},
                      Exchange{"CutShort",
                               [](const HttpServer::Request&) {
                                   return HttpServer::Response{200, {}, "conte", 4096};
                               },
                               1 << 20, QStringLiteral("Connection closed"), 200},
                      Exchange{"TooLarge",
                               [](const HttpServer::Request&) {
                                   return HttpServer::Response{200, {}, QByteArray(4096, 'x'), -1};
                               },
                               1024, QStringLiteral("error_answer_too_large"), 200}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace keskor
