// The two offers the browser bridge makes, driven offscreen: keeping a submitted login as a
// new entry in the chosen folder with the user's corrections, and storing a changed password
// only once both fields agree.

#include "core/ItemActions.h"
#include "tests/support/ItemTrees.h"
#include "tests/ui/UiFixture.h"
#include "ui/WebSocketAddEntryDialog.h"
#include "ui/WebSocketPasswordUpdateDialog.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace keskor;

namespace {

class BridgeOfferDialogsTest : public test::UiFixture {
protected:
    void SetUp() override {
        openDemoDatabase();
        presenter.clearCalls();
    }
    PassFile& file() { return *ctx().items.database(); }

    static void retype(QLineEdit* edit, const QString& text) {
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    static SocketXMLForm loginForm(const QString& user, const QString& password) {
        SocketXMLForm form;
        SocketXMLElement name;
        name.type = QStringLiteral("email");
        name.stringValue = user;
        SocketXMLElement secret;
        secret.type = QStringLiteral("password");
        secret.stringValue = password;
        form.subElements = {name, secret};
        return form;
    }
};

TEST_F(BridgeOfferDialogsTest, AddKeepsTheCorrectedLoginInTheChosenFolder) {
    WebSocketAddEntryDialog dialog(
        ctx(), file(), QStringLiteral("Shop"), QStringLiteral("http://127.0.0.1:9/login?next=1"),
        loginForm(QStringLiteral("alice@shop"), QStringLiteral("s3cret")), nullptr);
    dialog.show();
    EXPECT_EQ(child<QLineEdit>(dialog, "passwordField")->text(), QStringLiteral("s3cret"));
    retype(child<QLineEdit>(dialog, "usernameField"), QStringLiteral("alice"));
    auto* folders = child<QComboBox>(dialog, "folderPopup");
    const int mail = folders->findText(QStringLiteral("E-mail"), Qt::MatchEndsWith);
    ASSERT_GT(mail, 0);
    folders->setCurrentIndex(mail);
    screenshot(dialog, QStringLiteral("WebSocketAddEntryDialog"));

    // The site's icon is asked for first; a closed port ends that at once.
    QTest::mouseClick(child<QPushButton>(dialog, "addButton"), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog.isVisible(); }, 5000));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const auto folder = test::find(file().root(), QStringLiteral("E-mail"));
    ASSERT_TRUE(folder);
    const auto added = test::find(*folder, QStringLiteral("Shop"));
    ASSERT_TRUE(added) << presenter.transcript().join('\n').toStdString();
    EXPECT_EQ(added->userName(), QStringLiteral("alice"));
    EXPECT_EQ(added->password(), QStringLiteral("s3cret"));
    EXPECT_EQ(added->url(), QStringLiteral("http://127.0.0.1:9/login?next=1"));
}

TEST_F(BridgeOfferDialogsTest, UpdateStoresTheNewPasswordOnlyWhenBothFieldsAgree) {
    const auto folder = test::find(file().root(), QStringLiteral("E-mail"));
    ASSERT_TRUE(folder && !folder->subItems().empty());
    const std::shared_ptr<Info2Item> entry = folder->subItems().front();
    const auto before = entry->password();
    WebSocketPasswordUpdateDialog dialog(ctx(), entry, QStringLiteral("n3w-Pass"));
    dialog.show();
    EXPECT_EQ(child<QLabel>(dialog, "usernameLabel")->text(),
              QStringLiteral("alice@mail.example (https://mail.example)"));
    screenshot(dialog, QStringLiteral("WebSocketPasswordUpdateDialog"));

    retype(child<QLineEdit>(dialog, "confirmField"), QStringLiteral("typo"));
    presenter.answerAlert(0);
    QTest::mouseClick(child<QPushButton>(dialog, "updateButton"), Qt::LeftButton);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(entry->password(), before);

    retype(child<QLineEdit>(dialog, "confirmField"), QStringLiteral("n3w-Pass"));
    QTest::mouseClick(child<QPushButton>(dialog, "updateButton"), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(entry->password(), QStringLiteral("n3w-Pass"));
}

} // namespace
