#include "enterprise/EnterpriseLoginViewController.h"

#include "enterprise/Activate2FAViewController.h"
#include "enterprise/EnterpriseChangePasswordViewController.h"
#include "enterprise/EnterpriseStorage.h"
#include "enterprise/Login2FAViewController.h"
#include "platform/MemoryDefaultsStore.h"
#include "platform/MemoryKeychain.h"
#include "testing/ScriptedPresenter.h"
#include "testing/enterprise-server/EnterpriseServer.h"
#include "testing/enterprise-server/Totp.h"
#include "tests/support/TempDir.h"

#include <QTest>
#include <gtest/gtest.h>

namespace keskor {
namespace {

using testing::ScriptedPresenter;
using testing::Totp;

class EnterpriseLoginViewControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::EnterpriseServer::Options options;
        options.dataFolder = dir.path();
        options.hashCost = testing::ServerUserStore::HashCost::minimum();
        options.clock = [this] { return now; };
        server = std::make_unique<testing::EnterpriseServer>(options);
        QString error;
        ASSERT_TRUE(server->start(0, &error)) << error.toStdString();
    }
    EnterpriseLoginViewController::Input input(const QString& user, const QString& password) {
        return {QStringLiteral("127.0.0.1"),
                QString::number(server->serverPort()),
                user,
                password,
                2,
                false};
    }
    /// Waits for the busy overlay to go, then returns the last call and forgets them all.
    ScriptedPresenter::Call lastCall() {
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return presenter.transcript().contains(QStringLiteral("hideBusy")); }, 15000));
        const ScriptedPresenter::Call call = presenter.calls().last();
        presenter.clearCalls();
        return call;
    }
    QString last() { return lastCall().text(); }

    test::TempDir dir;
    std::int64_t now = 1111111109;
    std::unique_ptr<testing::EnterpriseServer> server;
    MemoryDefaultsStore defaults;
    MemoryKeychain keychain;
    EnterpriseStorage storage{defaults, keychain};
    ScriptedPresenter presenter{[](const QString& m) { ADD_FAILURE() << m.toStdString(); }};
};

TEST_F(EnterpriseLoginViewControllerTest, MissingInputWarnsAndAzureNeedsNoUserName) {
    for (int i = 0; i < 4; ++i) {
        presenter.answerAlert(0);
    }
    EnterpriseLoginViewController standard(storage, presenter);
    EXPECT_FALSE(standard.ok(input(QStringLiteral("alice"), QString())));
    EXPECT_FALSE(standard.ok(input(QString(), QStringLiteral("pw"))));
    EnterpriseLoginViewController azure(storage, presenter,
                                        EnterpriseLoginViewController::Method::azure);
    EXPECT_FALSE(azure.ok({QStringLiteral("127.0.0.1"), QString(), {}, {}, 2, false}));
    EXPECT_EQ(presenter.transcript(),
              QStringList(3, QStringLiteral("alert warning Warning/error_input_required []")));
    presenter.clearCalls();
    // Address and port are enough for Azure; without an account its sign-in fails.
    EXPECT_TRUE(azure.ok({QStringLiteral("127.0.0.1"), QStringLiteral("1"), {}, {}, 2, false}));
    EXPECT_EQ(last(), QStringLiteral("alert critical dialog_error/failed []"));
}

TEST_F(EnterpriseLoginViewControllerTest, DemandsOpenTheirDialogsUntilTheUserIsIn) {
    testing::ServerUser bob = *server->users().findById(
        *server->users().addUser(QStringLiteral("bob"), QStringLiteral("old"), {}, 0));
    bob.mustChangePassword = true;
    bob.twoFactorRequired = true;
    QString error;
    ASSERT_TRUE(server->users().update(bob, &error));
    int loggedIn = 0;
    EnterpriseLoginViewController login(storage, presenter);
    login.setView({[&] { ++loggedIn; }});

    presenter.answerAlert(0);
    presenter.answerAlert(0);
    ASSERT_TRUE(login.ok(input(QStringLiteral("bob"), QStringLiteral("wrong"))));
    EXPECT_EQ(last(), QStringLiteral("alert critical dialog_error/Wrong user name or password "
                                     "[]"));
    ASSERT_TRUE(login.ok(input(QStringLiteral("bob"), QStringLiteral("old"))));
    EXPECT_EQ(last(), QStringLiteral("dialog EnterpriseChangePasswordViewController {}"));

    int closed = 0;
    EnterpriseChangePasswordViewController change(storage, presenter);
    change.setView({[&] { ++closed; }});
    EXPECT_FALSE(change.change(QStringLiteral("new"), QStringLiteral("other")));
    presenter.clearCalls();
    ASSERT_TRUE(change.change(QStringLiteral("new"), QStringLiteral("new")));
    const ScriptedPresenter::Call activation = lastCall();
    ASSERT_EQ(activation.dialogId, QStringLiteral("Activate2FAViewController"));
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(activation.values.value(QStringLiteral("qrCode")).toByteArray().isEmpty());
    const QString secret = activation.values.value(QStringLiteral("secret")).toString();

    Activate2FAViewController activate(storage, presenter);
    activate.setView({[&] { ++closed; }});
    ASSERT_TRUE(activate.activate(Totp::code(*Totp::fromBase32(secret), now)));
    last();
    EXPECT_EQ(closed, 2);
    EXPECT_TRUE(storage.isLoggedIn());

    // Next time the untrusted device is asked for a code, with trust offered.
    storage.logout();
    now += 60;
    ASSERT_TRUE(login.ok(input(QStringLiteral("bob"), QStringLiteral("new"))));
    const ScriptedPresenter::Call codeDialog = lastCall();
    EXPECT_EQ(codeDialog.dialogId, QStringLiteral("Login2FAViewController"));
    EXPECT_TRUE(codeDialog.values.value(QStringLiteral("trust")).toBool());
    Login2FAViewController code(storage, presenter);
    code.setView({[&] { ++closed; }});
    code.setTrust(true);
    ASSERT_TRUE(code.confirm(Totp::code(*Totp::fromBase32(secret), now)));
    last();
    EXPECT_EQ(closed, 3);
    EXPECT_TRUE(storage.isLoggedIn());

    // The device is trusted now: no code is asked.
    storage.logout();
    now += 60;
    ASSERT_TRUE(login.ok(input(QStringLiteral("bob"), QStringLiteral("new"))));
    EXPECT_TRUE(lastCall().dialogId.isEmpty()) << "no code dialog";
    EXPECT_TRUE(storage.isLoggedIn());
}

} // namespace
} // namespace keskor
