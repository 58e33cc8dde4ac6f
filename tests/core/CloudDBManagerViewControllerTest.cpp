#include "core/CloudDBManagerViewController.h"

#include "core/IAuthorizationCodeExchange.h"
#include "testing/RecordingCloudDelegate.h"
#include "testing/RecordingRemoteStorage.h"
#include "testing/ScriptedPresenter.h"

#include <gtest/gtest.h>

using namespace keskor;
using keskor::testing::RecordingRemoteStorage;
using keskor::testing::ScriptedPresenter;

namespace {

class CloudBrowserTest : public ::testing::Test {
protected:
    RecordingRemoteStorage storage;
    ScriptedPresenter presenter{[](const QString& m) { ADD_FAILURE() << m.toStdString(); }};
    keskor::testing::RecordingCloudDelegate delegate;
    int reloads = 0;
    int closes = 0;
    std::unique_ptr<CloudDBManagerViewController> browser;

    void SetUp() override {
        storage.files = {file(QStringLiteral("/Keskor/family.pswd")),
                         file(QStringLiteral("/Keskor/work.pswe"))};
        make(Location::dropbox);
    }
    static std::shared_ptr<RemoteFileInfo> file(const QString& path) {
        return std::make_shared<RemoteFileInfo>(path);
    }
    void make(Location location) {
        // The keys themselves as texts, so the composed question can be read in the assertion.
        browser = std::make_unique<CloudDBManagerViewController>(
            storage, location, presenter, [](const QString& key) { return key; });
        browser->setView({[this] { ++reloads; }, [this] { ++closes; }});
        browser->setDelegate(&delegate);
    }
    QStringList names() const {
        QStringList out;
        for (const auto& f : browser->dbList()) {
            out << f->name;
        }
        return out;
    }
    /// Lists, then forgets what the presenter and the store saw so far.
    void listed() {
        browser->refresh();
        ASSERT_EQ(names(), QStringList({"family.pswd", "work.pswe"}));
        presenter.clearCalls();
        storage.calls.clear();
    }
};

TEST_F(CloudBrowserTest, RefreshListsTheFilesAndAFailureKeepsTheList) {
    browser->refresh();
    EXPECT_EQ(names(), QStringList({"family.pswd", "work.pswe"}));
    EXPECT_EQ(presenter.transcript(), QStringList({"busy files_info_loading", "hideBusy"}));
    const auto& c = browser->controls();
    EXPECT_TRUE(!c.signIn && c.signOut && c.refresh && c.newDatabase && c.deleteFiles);
    EXPECT_FALSE(c.open) << "nothing is selected yet";
    EXPECT_GT(reloads, 0);

    presenter.clearCalls();
    storage.failWith = QStringLiteral("The network is down");
    storage.files.clear();
    presenter.answerAlert(0);
    browser->refresh();
    EXPECT_EQ(presenter.transcript(),
              QStringList({"busy files_info_loading", "hideBusy",
                           "alert warning dialog_error/The network is down []"}));
    EXPECT_EQ(names(), QStringList({"family.pswd", "work.pswe"}));
    EXPECT_TRUE(browser->controls().signOut) << "still signed in";
}

TEST_F(CloudBrowserTest, SigningOutEmptiesTheListAndLeavesOnlySignIn) {
    listed();
    browser->onLoginSegment(1);
    EXPECT_EQ(storage.calls, QStringList({"logout"}));
    EXPECT_TRUE(browser->dbList().empty());
    EXPECT_TRUE(presenter.transcript().isEmpty()) << "no listing while signed out";
    const auto& c = browser->controls();
    EXPECT_TRUE(c.signIn);
    EXPECT_FALSE(c.signOut || c.refresh || c.newDatabase || c.deleteFiles || c.open);

    browser->onLoginSegment(0);
    EXPECT_EQ(storage.calls, QStringList({"logout", "login", "listFiles"}));
    EXPECT_EQ(names(), QStringList({"family.pswd", "work.pswe"}));
}

TEST_F(CloudBrowserTest, AFailedSignInIsShownAsCriticalAndStaysSignedOut) {
    storage.loggedIn = false;
    browser->start();
    storage.failWith = QStringLiteral("Access denied");
    presenter.answerAlert(0);
    browser->signIn();
    EXPECT_EQ(presenter.transcript(),
              QStringList({"alert critical dialog_error/Access denied []"}));
    EXPECT_TRUE(browser->controls().signIn);
}

TEST_F(CloudBrowserTest, ConfirmedDeleteCountsTheSelectionAndRemovesTheSelectedRow) {
    listed();
    browser->setSelectedRows({0, 1});
    EXPECT_EQ(browser->fileName(), QStringLiteral("work.pswe"));
    presenter.answerAlert(0);
    browser->onToolSegment(2);
    EXPECT_EQ(presenter.transcript(),
              QStringList({"alert critical dialog_warning/delete_confirm 2 items? "
                           "[dialog_ok|dialog_cancel]",
                           "busy files_deleting_message", "hideBusy"}));
    EXPECT_EQ(storage.calls, QStringList({"deleteFiles 1"}));
    EXPECT_EQ(names(), QStringList({"family.pswd"}));
    EXPECT_FALSE(browser->controls().open) << "the deleted row was the selection";
    EXPECT_TRUE(browser->fileName().isEmpty());
}

TEST_F(CloudBrowserTest, CancelledOrFailedDeleteKeepsTheFiles) {
    listed();
    browser->setSelectedRows({0});
    presenter.answerAlert(1);
    browser->deleteSelected();
    EXPECT_TRUE(storage.calls.isEmpty()) << "cancel calls nothing on the store";

    storage.failWith = QStringLiteral("Read-only share");
    presenter.answerAlert(0);
    presenter.answerAlert(0);
    browser->deleteSelected();
    EXPECT_EQ(storage.calls, QStringList({"deleteFiles 1"}));
    EXPECT_EQ(presenter.transcript().last(),
              QStringLiteral("alert warning dialog_error/Read-only share []"));
    EXPECT_EQ(names(), QStringList({"family.pswd", "work.pswe"}));

    browser->setSelectedRows({});
    storage.calls.clear();
    browser->deleteSelected();
    EXPECT_TRUE(storage.calls.isEmpty()) << "without a selection nothing is asked or deleted";
}

TEST_F(CloudBrowserTest, NewDatabaseOpensTheCreateDialogForTheLocationThenLists) {
    make(Location::box);
    listed();
    browser->onToolSegment(1);
    EXPECT_EQ(presenter.transcript().value(0),
              QStringLiteral("dialog CreateNewDBViewController {location=7}"));
    EXPECT_EQ(storage.calls, QStringList({"listFiles"}));
}

/// A store whose sign-in ends with a typed code, as HiDrive's does.
class CodeStorage : public RecordingRemoteStorage, public IAuthorizationCodeExchange {
public:
    void exchangeCode(const QString& code, Success success, Failure) override {
        calls << QStringLiteral("exchangeCode ") + code;
        loggedIn = true;
        success();
    }
};

class CloudBrowserCodeTest : public ::testing::TestWithParam<QString> {};

// The code is asked for after the browser was opened; an empty one never reaches the store.
TEST_P(CloudBrowserCodeTest, HiDriveSignInExchangesATypedCodeThenLists) {
    CodeStorage storage;
    storage.loggedIn = false;
    ScriptedPresenter presenter{[](const QString& m) { ADD_FAILURE() << m.toStdString(); }};
    CloudDBManagerViewController browser(storage, Location::hiDrive, presenter,
                                         [](const QString& key) { return key; });
    presenter.answerTextField(GetParam());
    browser.onLoginSegment(0);
    EXPECT_EQ(presenter.transcript().value(0),
              QStringLiteral("textField informational authorization/hidrive_input_code "
                             "[dialog_ok|dialog_cancel]"));
    if (GetParam().trimmed().isEmpty()) {
        EXPECT_EQ(storage.calls, QStringList({"login"}));
        EXPECT_FALSE(browser.controls().signOut);
    } else {
        EXPECT_EQ(storage.calls,
                  QStringList({"login", "exchangeCode " + GetParam().trimmed(), "listFiles"}));
        EXPECT_TRUE(browser.controls().signOut);
    }
}

INSTANTIATE_TEST_SUITE_P(Codes, CloudBrowserCodeTest,
                         ::testing::Values(QString(), QStringLiteral("  "),
                                           QStringLiteral(" 8f3k2 ")));

class CloudBrowserOpenTest : public CloudBrowserTest,
                             public ::testing::WithParamInterface<Location> {};

TEST_P(CloudBrowserOpenTest, OpenHandsTheSelectedFileAndLocationToTheDelegateAndCloses) {
    make(GetParam());
    listed();
    EXPECT_FALSE(browser->open()) << "nothing selected";
    EXPECT_TRUE(delegate.opened.empty());

    browser->setSelectedRows({1});
    EXPECT_TRUE(browser->controls().open);
    EXPECT_TRUE(browser->open());
    ASSERT_EQ(delegate.opened.size(), 1u);
    EXPECT_EQ(delegate.opened[0].first, storage.files[1]);
    EXPECT_EQ(delegate.opened[0].second, GetParam());
    EXPECT_EQ(closes, 1);
}

INSTANTIATE_TEST_SUITE_P(Drives, CloudBrowserOpenTest,
                         ::testing::Values(Location::dropbox, Location::gDrive, Location::hiDrive));

struct StartCase {
    Location location;
    bool loggedIn;
    QStringList calls;
};

class CloudBrowserStartTest : public CloudBrowserTest,
                              public ::testing::WithParamInterface<StartCase> {};

// OneDrive is asked to list before anyone asks whether the user is signed in, because its
// store signs in silently; the others list only when signed in.
TEST_P(CloudBrowserStartTest, StartListsAsTheLocationNeeds) {
    make(GetParam().location);
    storage.loggedIn = GetParam().loggedIn;
    browser->start();
    EXPECT_EQ(storage.calls, GetParam().calls);
    EXPECT_EQ(browser->controls().signOut, GetParam().loggedIn);
    EXPECT_EQ(browser->dbList().size(), GetParam().loggedIn ? 2u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Locations, CloudBrowserStartTest,
    ::testing::Values(StartCase{Location::oneDrive, false, {"listFiles"}},
                      StartCase{Location::oneDrive, true, {"listFiles", "listFiles"}},
                      StartCase{Location::dropbox, false, {}},
                      StartCase{Location::box, true, {"listFiles"}}));

} // namespace
