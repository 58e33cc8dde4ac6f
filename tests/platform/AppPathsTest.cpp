#include "platform/AppPaths.h"

#include "core/shared/CommonException.h"
#include "platform/FileKeychain.h"
#include "platform/QSettingsDefaultsStore.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QStandardPaths>
#include <gtest/gtest.h>

namespace keskor {
namespace {

using test::TempDir;

QProcessEnvironment envWith(const QString& name, const QString& value) {
    QProcessEnvironment env;
    env.insert(name, value);
    return env;
}

int entriesUnder(const QString& folder) {
    int n = 0;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++n;
    }
    return n;
}

// Points HOME and the XDG variables at an empty folder for the test, restoring them after.
class IsolatedHome : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : kNames) {
            saved.append(qgetenv(name));
        }
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_DATA_HOME", home.file("data").toUtf8());
        qputenv("XDG_CONFIG_HOME", home.file("config").toUtf8());
        qputenv("XDG_CACHE_HOME", home.file("cache").toUtf8());
    }
    void TearDown() override {
        for (int i = 0; i < int(std::size(kNames)); ++i) {
            if (saved.at(i).isEmpty()) {
                qunsetenv(kNames[i]);
            } else {
                qputenv(kNames[i], saved.at(i));
            }
        }
    }
    static constexpr const char* kNames[] = {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME",
                                             "XDG_CACHE_HOME"};
    QList<QByteArray> saved;
    TempDir home;
    TempDir profile;
};

TEST_F(IsolatedHome, ProfileArgumentKeepsEverythingUnderItsFolder) {
    const AppPaths paths =
        AppPaths::fromArguments({"keskor", "--profile", profile.path()}, QProcessEnvironment());
    EXPECT_TRUE(paths.isProfile());
    EXPECT_EQ(paths.profileRoot(), QDir::cleanPath(profile.path()));
    for (const QString& p :
         {paths.settingsFile(), paths.documents(), paths.logs(), paths.keychainFallbackFile()}) {
        EXPECT_TRUE(p.startsWith(paths.profileRoot() + '/')) << p.toStdString();
    }
    // Use every path the way the program does, then look for anything outside the profile.
    {
        QSettingsDefaultsStore store(paths.settingsFile());
        store.setBool("setting_isAutoSaving", true);
        store.sync();
    }
    FileKeychain(paths.keychainFallbackFile()).set("token", "t");
    EXPECT_TRUE(QFileInfo(paths.documents()).isDir());
    EXPECT_TRUE(QFileInfo(paths.logs()).isDir());
    EXPECT_TRUE(QFileInfo(paths.settingsFile()).isFile());
    EXPECT_EQ(entriesUnder(home.path()), 0);
}

TEST_F(IsolatedHome, KeskorHomeIsUsedWithoutTheArgumentAndTheArgumentWins) {
    TempDir other;
    const auto env = envWith("KESKOR_HOME", other.path());
    EXPECT_EQ(AppPaths::fromArguments({"keskor"}, env).profileRoot(),
              QDir::cleanPath(other.path()));
    EXPECT_EQ(AppPaths::fromArguments({"keskor", "--profile=" + profile.path()}, env).profileRoot(),
              QDir::cleanPath(profile.path()));
    (void)AppPaths::fromArguments({"keskor"}, env).documents();
    EXPECT_EQ(entriesUnder(home.path()), 0);
}

TEST_F(IsolatedHome, RelativeProfileBecomesAbsoluteAndAMissingOneIsAClearError) {
    const AppPaths paths = AppPaths::fromArguments({"keskor", "--profile", "rel/dir"}, {});
    EXPECT_TRUE(QDir::isAbsolutePath(paths.profileRoot()));
    EXPECT_TRUE(paths.profileRoot().endsWith("/rel/dir"));
    EXPECT_THROW(AppPaths::fromArguments({"keskor", "--profile"}, {}), CommonException);
    EXPECT_THROW(AppPaths::fromArguments({"keskor", "--profile="}, {}), CommonException);
}

TEST_F(IsolatedHome, WithoutProfileTheXdgFoldersOfKeskorAreUsed) {
    const AppPaths paths = AppPaths::fromArguments({"keskor"}, envWith("KESKOR_HOME", ""));
    EXPECT_FALSE(paths.isProfile());
    EXPECT_EQ(paths.settingsFile(), home.file("config") + "/keskor/settings.ini");
    EXPECT_EQ(paths.documents(), home.file("data") + "/keskor");
    EXPECT_TRUE(QFileInfo(home.file("data") + "/keskor").isDir());
    EXPECT_TRUE(paths.keychainFallbackFile().startsWith(home.file("data") + "/keskor/"));
}

} // namespace
} // namespace keskor
