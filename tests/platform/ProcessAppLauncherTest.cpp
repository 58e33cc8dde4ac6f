#include "platform/ProcessAppLauncher.h"

#include "tests/support/TempDir.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <optional>

namespace keskor {
namespace {

TEST(ProcessAppLauncherTest, DesktopEntryCommandsComeFromTheEntryGroupOfARunnableEntry) {
    test::TempDir dir;
    // Put back as found, unset included: later tests of this binary read them too.
    const auto saved = [](const char* name) {
        return qEnvironmentVariableIsSet(name) ? std::optional<QByteArray>(qgetenv(name))
                                               : std::nullopt;
    };
    const auto restore = [](const char* name, const std::optional<QByteArray>& value) {
        value ? qputenv(name, *value) : qunsetenv(name);
    };
    const std::optional<QByteArray> home = saved("XDG_DATA_HOME");
    const std::optional<QByteArray> dirs = saved("XDG_DATA_DIRS");
    qputenv("XDG_DATA_HOME", dir.path().toUtf8());
    qputenv("XDG_DATA_DIRS", dir.file(QStringLiteral("none")).toUtf8());
    QDir(dir.path()).mkpath(QStringLiteral("applications"));
    const auto write = [&](const QString& id, const QByteArray& text) {
        dir.write(QStringLiteral("applications/") + id, text);
    };
    write(QStringLiteral("hidden.desktop"), "[Desktop Entry]\nExec=/bin/sh\nHidden=true\n");
    write(QStringLiteral("gone.desktop"), "[Desktop Entry]\nExec=/no/such/browser %u\n");
    write(QStringLiteral("browser.desktop"),
          "[Desktop Entry]\nName=Browser\nExec=/bin/sh -c \"echo one\" %U\n"
          "[Desktop Action new-window]\nExec=/bin/false --new-window\n");

    ProcessAppLauncher launcher;
    EXPECT_EQ(launcher.desktopEntryCommand(
                  {QStringLiteral("hidden.desktop"), QStringLiteral("gone.desktop"),
                   QStringLiteral("missing.desktop"), QStringLiteral("browser.desktop")}),
              (QStringList{QStringLiteral("/bin/sh"), "-c", "echo one"}));
    EXPECT_TRUE(launcher.desktopEntryCommand({QStringLiteral("hidden.desktop")}).isEmpty());
    restore("XDG_DATA_HOME", home);
    restore("XDG_DATA_DIRS", dirs);
}

} // namespace
} // namespace keskor
