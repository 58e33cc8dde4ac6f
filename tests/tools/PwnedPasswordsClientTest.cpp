#include "tools/PwnedPasswordsClient.h"

#include "testing/RangeServer.h"
#include "testing/ScriptedPresenter.h"
#include "tests/support/QtPrinters.h"
#include "tools/CheckPwnedController.h"

#include <QCryptographicHash>
#include <QNetworkAccessManager>
#include <QTest>
#include <gtest/gtest.h>
#include <optional>

namespace keskor {
namespace {

using namespace std::chrono_literals;
using testing::RangeServer;
using testing::ScriptedPresenter;

const QString kPassword = QStringLiteral("password");
// SHA-1("password") = 5baa6 1e4c9b93f3f0682250b6cf8331b7ee68fd8
const QString kPrefix = QStringLiteral("5BAA6");
const QString kSuffix = QStringLiteral("1e4c9b93f3f0682250b6cf8331b7ee68fd8");
const QByteArray kApiKey = QByteArrayLiteral("0123456789abcdef0123456789abcdef");

TEST(PwnedDigest, PrefixIsSentUpperCaseAndSuffixKeptLowerCase) {
    const QString digest = PwnedPasswordsClient::digestText(kPassword);
    EXPECT_EQ(digest, kPrefix.toLower() + kSuffix);
    EXPECT_EQ(PwnedPasswordsClient::rangePrefix(digest), kPrefix);
    EXPECT_EQ(PwnedPasswordsClient::rangeSuffix(digest), kSuffix);
    // UTF-8 bytes are hashed: "é" is C3 A9.
    EXPECT_EQ(PwnedPasswordsClient::digestText(QStringLiteral("\u00e9")),
              QString::fromLatin1(
                  QCryptographicHash::hash("\xc3\xa9", QCryptographicHash::Sha1).toHex()));
}

TEST(PwnedRangeUrl, KeepsTheBasePathAndDropsQueries) {
    QNetworkAccessManager network;
    PwnedPasswordsClient::Config config;
    config.baseUrl = QUrl("https://range.example:8443/api/?x=1#frag");
    PwnedPasswordsClient client(network, config);
    EXPECT_EQ(client.rangeUrl("ABCDE").toString(), "https://range.example:8443/api/range/ABCDE");
}

// One check's outcome; exactly one of the two is set.
struct Outcome {
    int calls = 0;
    std::optional<qint64> count;
    std::optional<UiText> failure;
};

class PwnedClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.listen());
        config.baseUrl = server.baseUrl();
        config.apiKey = kApiKey;
        // Generous, so a loaded machine does not turn a bad answer into a timeout.
        config.timeout = 3000ms;
    }

    std::unique_ptr<PwnedPasswordsClient> makeClient() {
        return std::make_unique<PwnedPasswordsClient>(network, config);
    }

    Outcome check(const QString& password) {
        auto client = makeClient();
        Outcome out;
        client->checkPassword(
            password,
            [&out](qint64 count) {
                ++out.calls;
                out.count = count;
            },
            [&out](const UiText& message) {
                ++out.calls;
                out.failure = message;
            });
        EXPECT_EQ(out.calls, 0) << "the check must not answer before returning";
        EXPECT_TRUE(QTest::qWaitFor([&out] { return out.calls > 0; }, 5000));
        QTest::qWait(20); // a second callback would show up here
        EXPECT_EQ(out.calls, 1);
        return out;
    }

    RangeServer server;
    QNetworkAccessManager network;
    PwnedPasswordsClient::Config config;
};

TEST_F(PwnedClientTest, FoundPasswordReportsItsCountAndOnlyThePrefixIsSent) {
    server.addHash("5baa6000000000000000000000000000000000ff", 3);
    server.addPassword(kPassword, 9659365);
    const Outcome out = check(kPassword);
    EXPECT_EQ(out.count, 9659365);

    ASSERT_EQ(server.requests().size(), 1);
    const RangeServer::Request& r = server.requests()[0];
    EXPECT_EQ(r.method, "GET");
    EXPECT_EQ(r.target, "/range/" + kPrefix.toLatin1());
    EXPECT_EQ(r.headers.value("hibp-api-key"), kApiKey);
    for (auto it = r.headers.cbegin(); it != r.headers.cend(); ++it) {
        const QByteArray line = (it.key() + ": " + it.value()).toLower();
        EXPECT_FALSE(line.contains(kSuffix.toLatin1())) << line.constData();
        EXPECT_FALSE(line.contains(kSuffix.left(10).toLatin1())) << line.constData();
        EXPECT_FALSE(line.contains(kPassword.toLatin1())) << line.constData();
    }
    EXPECT_FALSE(r.target.toLower().contains(kSuffix.left(10).toLatin1()));
}

TEST_F(PwnedClientTest, PaddingLinesAndOtherSuffixesMeanNotFound) {
    server.addHash("5BAA6FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF", 12);
    server.setPaddingLines(300);
    const Outcome out = check(kPassword);
    EXPECT_EQ(out.count, 0);
}

TEST_F(PwnedClientTest, EmptyOrOversizedBodyFails) {
    server.setEmptyBody(true);
    EXPECT_EQ(check(kPassword).failure, UiText::key("pwned_failed"));
    server.setEmptyBody(false);
    server.setHugeBody(10 * 1024 * 1024);
    EXPECT_EQ(check(kPassword).failure, UiText::key("pwned_failed"));
}

TEST_F(PwnedClientTest, StalledServerEndsInTheTimeout) {
    config.timeout = 300ms;
    server.setStalling(true);
    const Outcome out = check(kPassword);
    ASSERT_TRUE(out.failure);
    EXPECT_FALSE(out.failure->isKey());
    EXPECT_TRUE(out.failure->value().contains("did not answer in time"));
    EXPECT_EQ(server.requests().size(), 1);
}

TEST_F(PwnedClientTest, SlowButTimelyAnswerSucceeds) {
    server.setDelay(100ms);
    server.addPassword(kPassword, 2);
    EXPECT_EQ(check(kPassword).count, 2);
}

class PwnedHttpError : public PwnedClientTest, public ::testing::WithParamInterface<int> {};

TEST_P(PwnedHttpError, EndsInTheFailurePathWithoutSecrets) {
    server.setStatus(GetParam());
    server.addPassword(kPassword, 5); // the table must not leak through an error answer
    const Outcome out = check(kPassword);
    ASSERT_TRUE(out.failure);
    EXPECT_FALSE(out.failure->isEmpty());
    EXPECT_FALSE(out.failure->value().contains(kPassword));
    EXPECT_FALSE(out.failure->value().contains(kSuffix, Qt::CaseInsensitive));
}

INSTANTIATE_TEST_SUITE_P(Statuses, PwnedHttpError, ::testing::Values(400, 401, 404, 429, 503),
                         [](const auto& info) { return "Status" + std::to_string(info.param); });

TEST_F(PwnedClientTest, DestroyedClientCallsNothing) {
    server.setDelay(100ms);
    server.addPassword(kPassword, 1);
    int calls = 0;
    {
        auto client = makeClient();
        client->checkPassword(
            kPassword, [&](qint64) { ++calls; }, [&](const UiText&) { ++calls; });
        ASSERT_TRUE(QTest::qWaitFor([this] { return !server.requests().isEmpty(); }, 2000));
    }
    QTest::qWait(250);
    EXPECT_EQ(calls, 0);
}

QString marked(const QString& key) {
    return u'<' + key + u'>';
}

class CheckPwnedControllerTest : public PwnedClientTest {
protected:
    void SetUp() override {
        PwnedClientTest::SetUp();
        client = makeClient();
        controller = std::make_unique<CheckPwnedController>(presenter, *client, marked);
    }
    void runAndWait(bool enabled, const QString& password) {
        controller->onCheckPwned(enabled, password);
        ASSERT_TRUE(QTest::qWaitFor([this] { return !controller->isChecking(); }, 5000));
    }

    ScriptedPresenter presenter{[](const QString& m) { ADD_FAILURE() << m.toStdString(); }};
    std::unique_ptr<PwnedPasswordsClient> client;
    std::unique_ptr<CheckPwnedController> controller;
};

TEST_F(CheckPwnedControllerTest, EmptyEnabledFieldNeverReachesTheNetwork) {
    presenter.answerAlert(0);
    controller->onCheckPwned(true, QString());
    EXPECT_FALSE(controller->isChecking());
    EXPECT_EQ(presenter.transcript(),
              QStringList{"alert critical dialog_warning/error_input_master_password []"});
    QTest::qWait(50);
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(CheckPwnedControllerTest, EachOutcomeHasItsAlertBehindTheOverlay) {
    const QString busy[] = {"busy pwned_checking", "hideBusy"};
    presenter.answerAlert(0);
    runAndWait(true, kPassword);
    EXPECT_EQ(
        presenter.transcript(),
        (QStringList{busy[0], busy[1], "alert informational dialog_congrats/pwned_not_found []"}));
    server.addPassword(kPassword, 17);
    presenter.clearCalls();
    presenter.answerAlert(0);
    runAndWait(true, kPassword);
    EXPECT_EQ(presenter.transcript().last(),
              "alert informational dialog_warning/<pwned_appear_pre> 17 <pwned_appear_suf> []");
    server.setEmptyBody(true);
    presenter.clearCalls();
    presenter.answerAlert(0);
    runAndWait(true, kPassword);
    EXPECT_EQ(presenter.transcript(),
              (QStringList{busy[0], busy[1], "alert critical dialog_error/pwned_failed []"}));
}

TEST_F(CheckPwnedControllerTest, DisabledEmptyFieldIsCheckedAsItIs) {
    server.addPassword(QString(), 4);
    presenter.answerAlert(0);
    runAndWait(false, QString());
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_EQ(presenter.transcript().last(),
              "alert informational dialog_warning/<pwned_appear_pre> 4 <pwned_appear_suf> []");
}

TEST_F(CheckPwnedControllerTest, ClosedDialogIgnoresTheLateAnswer) {
    server.setDelay(100ms);
    controller->onCheckPwned(true, kPassword);
    controller.reset();
    QTest::qWait(300);
    EXPECT_EQ(presenter.transcript(), (QStringList{"busy pwned_checking", "hideBusy"}));
}

} // namespace
} // namespace keskor
