#include "bridge/BrowserHelper.h"

#include "core/shared/Info2Item.h"
#include "platform/RecordingAppLauncher.h"
#include "testing/ScriptedPresenter.h"

#include <gtest/gtest.h>

using namespace keskor;

namespace {

class BrowserHelperTest : public ::testing::Test {
protected:
    Info2Item entryOf(int type, const QString& url) {
        Info2Item e;
        e.type = type;
        e.setUrl(url);
        e.setPassword(QStringLiteral("tv-secret"));
        return e;
    }
    RecordingAppLauncher desktop;
    keskor::testing::ScriptedPresenter presenter{
        [](const QString& m) { ADD_FAILURE() << qPrintable(m); }};
    QStringList copied;
    BrowserHelper helper{desktop, desktop, presenter,
                         [this](const QString& s) { copied.append(s); }};
};

TEST_F(BrowserHelperTest, UrlsGetHttpOnlyWithoutAScheme) {
    EXPECT_EQ(BrowserHelper::normalisedUrl(QStringLiteral("example.org/a?b=1")).toString(),
              QStringLiteral("http://example.org/a?b=1"));
    EXPECT_EQ(BrowserHelper::normalisedUrl(QStringLiteral("HTTPS://Example.org/x")).scheme(),
              QStringLiteral("https"));
    EXPECT_FALSE(BrowserHelper::normalisedUrl(QStringLiteral("  ")).isValid());
    EXPECT_FALSE(BrowserHelper::normalisedUrl(QStringLiteral("http://")).isValid());
    helper.openEntryUrl(entryOf(1, QStringLiteral("http://")));
    helper.openEntryUrl(entryOf(1, QString()));
    EXPECT_TRUE(desktop.opened.isEmpty());
}

TEST_F(BrowserHelperTest, TeamViewerNeverGetsThePasswordOnItsCommandLine) {
    desktop.installed = {QStringLiteral("teamviewer")};
    presenter.answerAlert(0);
    helper.openEntryUrl(entryOf(BrowserHelper::kTeamViewerEntryType, QStringLiteral("123 456")));
    ASSERT_EQ(desktop.launched.size(), 1);
    EXPECT_FALSE(desktop.launched[0].join(' ').contains(QStringLiteral("tv-secret")));
    EXPECT_EQ(desktop.launched[0].mid(1), (QStringList{QStringLiteral("-i"), "123 456"}));
    EXPECT_EQ(copied, QStringList{QStringLiteral("tv-secret")});
    EXPECT_EQ(presenter.calls().last().informative.value(),
              QStringLiteral("teamviewer_password_on_clipboard"));
}

TEST_F(BrowserHelperTest, MissingProgramsAreReportedNotLaunched) {
    presenter.answerAlert(0);
    presenter.answerAlert(0);
    helper.openEntryUrl(entryOf(BrowserHelper::kTeamViewerEntryType, QStringLiteral("1")));
    EXPECT_FALSE(helper.isInstalled(BrowserType::Safari));
    EXPECT_FALSE(helper.openUrl(QStringLiteral("example.org"), BrowserType::Firefox));
    EXPECT_TRUE(desktop.launched.isEmpty());
    EXPECT_TRUE(copied.isEmpty());
    ASSERT_EQ(presenter.calls().size(), 2);
    EXPECT_EQ(presenter.calls()[1].informative.value(), QStringLiteral("error_open_browser"));
    desktop.installed = {QStringLiteral("firefox-esr")};
    EXPECT_TRUE(helper.openUrl(QStringLiteral("example.org"), BrowserType::Firefox));
    EXPECT_EQ(desktop.launched.last(),
              (QStringList{QStringLiteral("/usr/bin/firefox-esr"), "http://example.org"}));
    // Not on PATH, but installed with a desktop entry (a Flatpak): its command, then the URL.
    desktop.installed.clear();
    desktop.desktopEntries.insert(QStringLiteral("org.mozilla.firefox.desktop"),
                                  {QStringLiteral("/usr/bin/flatpak"), QStringLiteral("run"),
                                   QStringLiteral("org.mozilla.firefox")});
    EXPECT_TRUE(helper.openUrl(QStringLiteral("example.org"), BrowserType::Firefox));
    EXPECT_EQ(desktop.launched.last(), (QStringList{QStringLiteral("/usr/bin/flatpak"), "run",
                                                    "org.mozilla.firefox", "http://example.org"}));
}

} // namespace
