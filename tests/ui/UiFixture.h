#pragma once
// The desktop services over test doubles in a temporary profile, for the widget suites: a
// scripted presenter answers the questions, a fake clock drives the timers, the clipboard and
// the keychain live in memory. Screenshots of the widgets go to the build folder.

#include "core/DatabaseInfoHelper.h"
#include "core/DemoDatabase.h"
#include "core/FileFunctions.h"
#include "core/InactiveWebSocketManager.h"
#include "platform/AppPaths.h"
#include "platform/FakeClock.h"
#include "platform/MemoryClipboard.h"
#include "platform/MemoryDefaultsStore.h"
#include "platform/MemoryKeychain.h"
#include "platform/RecordingStatusItem.h"
#include "platform/RecordingUserNotifier.h"
#include "testing/SampleDatabase.h"
#include "testing/ScriptedPresenter.h"
#include "tests/support/TempDir.h"
#include "ui/DesktopApplication.h"

#include <QCoreApplication>
#include <QDir>
#include <QWidget>
#include <gtest/gtest.h>

namespace keskor::test {

class UiFixture : public ::testing::Test {
protected:
    TempDir dir;
    AppPaths paths{dir.file(QStringLiteral("profile"))};
    MemoryDefaultsStore defaults;
    MemoryKeychain keychain;
    MemoryClipboard clipboard;
    RecordingUserNotifier notifier;
    RecordingStatusItem statusItem;
    FakeClock clock;
    testing::ScriptedPresenter presenter{
        [](const QString& m) { ADD_FAILURE() << m.toStdString(); }};
    Localizer localizer{QStringLiteral("en")};
    DesktopApplication desktop{DesktopApplication::Platform{
        paths,
        defaults,
        keychain,
        clipboard,
        notifier,
        statusItem,
        clock,
        presenter,
        localizer,
        PwnedPasswordsClient::Config{.baseUrl = QUrl(QStringLiteral("http://127.0.0.1:9"))},
        {},
        [](SessionManager&, SettingManager&) {
            return std::make_unique<InactiveWebSocketManager>();
        }}};

    UiContext& ctx() { return desktop.context(); }
    SessionManager& session() { return desktop.app().mainManager().sessionManager; }

    static inline const QString kPassword = QStringLiteral("Correct-Horse-Battery-9");

    /// Writes the database (with a cheap key derivation) to the temporary folder and opens it
    /// the way the password dialog does.
    DatabaseInfo openDatabase(PassFile file, const QString& fileName = QStringLiteral("t.pswd")) {
        file.setKdfParameters(keskor::testing::SampleDatabase::kFastKdfMemory,
                              keskor::testing::SampleDatabase::kFastKdfPasses);
        const DatabaseInfo info = DatabaseInfoHelper::localFile(dir.file(fileName));
        const Key256 key =
            session().keyHelper.keyFromCredentials(file, Credentials(kPassword, std::nullopt));
        FileFunctions::writeDatabase(FileFunctions::databaseFile(paths, info), key, file);
        desktop.app().databases().openWithCredentials(info, Credentials(kPassword, std::nullopt));
        return info;
    }
    void openDemoDatabase() { openDatabase(DemoDatabase::create()); }

    /// A named child of a dialog; a missing one fails the test.
    template <typename W> static W* child(QWidget& parent, const char* name) {
        W* w = parent.findChild<W*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    /// Saves a picture of the widget as an artefact of the run.
    static void screenshot(QWidget& widget, const QString& name) {
        const QString folder = QStringLiteral(KESKOR_SCREENSHOT_DIR);
        QDir().mkpath(folder);
        // Labels changed just before are laid out only once the posted layout requests run.
        QCoreApplication::sendPostedEvents();
        widget.grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
    }
};

} // namespace keskor::test
