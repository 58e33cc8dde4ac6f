// The enterprise dialogs as a user drives them, offscreen, against the reference server.

#include "enterprise/EnterpriseStorage.h"
#include "testing/SampleDatabase.h"
#include "testing/enterprise-server/EnterpriseServer.h"
#include "tests/ui/UiFixture.h"
#include "ui/Activate2FADialog.h"
#include "ui/EnterpriseChangePasswordDialog.h"
#include "ui/EnterpriseDBManagerDialog.h"
#include "ui/EnterpriseLoginDialog.h"
#include "ui/GrantAccessDialog.h"
#include "ui/Login2FADialog.h"
#include "ui/RevokeAccessDialog.h"
#include "ui/SealedAccessDialog.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace keskor;

namespace {

class EnterpriseDialogsTest : public keskor::test::UiFixture {
protected:
    EnterpriseStorage storage{defaults, keychain};
};

TEST_F(EnterpriseDialogsTest, LogInThroughTheDialogThenChooseAndShareADatabase) {
    keskor::testing::EnterpriseServer::Options options;
    options.dataFolder = dir.path();
    options.hashCost = keskor::testing::ServerUserStore::HashCost::minimum();
    keskor::testing::EnterpriseServer server(options);
    QString error;
    ASSERT_TRUE(server.start(0, &error)) << error.toStdString();
    server.users().addUser(QStringLiteral("alice"), QStringLiteral("pw"), QStringLiteral("Alice"),
                           4);
    server.users().addUser(QStringLiteral("bob"), QStringLiteral("pw"), QStringLiteral("Bob"), 0);
    ASSERT_TRUE(server.databases().add(QStringLiteral("Team/Vault"),
                                       keskor::testing::SampleDatabase::full(), {}, &error));

    EnterpriseLoginDialog login(ctx(), storage, EnterpriseLoginViewController::Method::standard);
    login.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&login));
    child<QLineEdit>(login, "addressField")->setText(QStringLiteral("127.0.0.1"));
    child<QLineEdit>(login, "portField")->setText(QString::number(server.serverPort()));
    child<QLineEdit>(login, "userNameField")->setText(QStringLiteral("alice"));
    QTest::keyClicks(child<QLineEdit>(login, "passwordField"), QStringLiteral("pw"));
    child<QComboBox>(login, "versionSelector")->setCurrentIndex(3);
    screenshot(login, QStringLiteral("EnterpriseLoginDialog"));
    QTest::mouseClick(child<QPushButton>(login, "okButton"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return login.result() == QDialog::Accepted; }, 15000));
    EXPECT_TRUE(storage.isLoggedIn());

    std::optional<PassFile> opened;
    EnterpriseDBManagerDialog chooser(ctx(), storage,
                                      [&](const DatabaseInfo&, IEntrySyncStorage::OpenedDatabase db,
                                          auto) { opened = std::move(db.file); });
    chooser.show();
    auto* table = child<QTableView>(chooser, "dblistTableView");
    ASSERT_TRUE(QTest::qWaitFor([&] { return table->model()->rowCount() == 1; }, 15000));
    table->selectRow(0);
    screenshot(chooser, QStringLiteral("EnterpriseDBManagerDialog"));
    QTest::mouseClick(child<QPushButton>(chooser, "openButton"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return opened.has_value(); }, 15000));

    std::shared_ptr<Info2Item> entry = opened->root().subItems().front();
    GrantAccessDialog grant(ctx(), storage, *opened, entry);
    EXPECT_EQ(child<QTableView>(grant, "usersTable")->model()->rowCount(), 1);
    screenshot(grant, QStringLiteral("GrantAccessDialog"));
    RevokeAccessDialog revoke(ctx(), storage, *opened);
    EXPECT_FALSE(child<QPushButton>(revoke, "revokeButton")->isEnabled());
    screenshot(revoke, QStringLiteral("RevokeAccessDialog"));
    SealedAccessDialog sealed(ctx(), storage, *opened, entry);
    auto* request = child<QPushButton>(sealed, "requestButton");
    child<QPlainTextEdit>(sealed, "reasonText")->setPlainText(QStringLiteral("  "));
    EXPECT_FALSE(request->isEnabled());
    child<QPlainTextEdit>(sealed, "reasonText")->setPlainText(QStringLiteral("audit"));
    EXPECT_TRUE(request->isEnabled());
    screenshot(sealed, QStringLiteral("SealedAccessDialog"));

    Login2FADialog code(ctx(), storage, true, QStringLiteral("Enter the code"));
    screenshot(code, QStringLiteral("Login2FADialog"));
    Activate2FADialog activate(ctx(), storage, QStringLiteral("JBSWY3DPEHPK3PXP"), {});
    screenshot(activate, QStringLiteral("Activate2FADialog"));
    EnterpriseChangePasswordDialog change(ctx(), storage);
    screenshot(change, QStringLiteral("EnterpriseChangePasswordDialog"));
}

} // namespace
