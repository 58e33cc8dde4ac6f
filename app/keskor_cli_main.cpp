// keskor-cli: Keskor databases from a terminal. Only `clip` needs a display; every other
// command runs without one.

#include "app/cli/CliApplication.h"
#include "platform/HugePageHeap.h"
#include "platform/ProcessHardening.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QProcessEnvironment>
#include <memory>
#include <sys/stat.h>

namespace {

// Re-executing for huge pages costs a second start (about 30 ms); it pays for itself from a few
// megabytes of database or import file on (a 100,000-entry database is about 4 MB).
bool namesLargeFile(int argc, char** argv) {
    constexpr off_t kLarge = 2 * 1024 * 1024;
    for (int i = 1; i < argc; ++i) {
        struct stat info {};
        if (stat(argv[i], &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= kLarge) {
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (namesLargeFile(argc, argv)) {
        keskor::HugePageHeap::enable(argv);
    }
    keskor::ProcessHardening::disableCoreDumps();
    const bool wantsClipboard = argc > 1 && qstrcmp(argv[1], "clip") == 0;
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const bool hasDisplay = env.contains(QStringLiteral("DISPLAY")) ||
                            env.contains(QStringLiteral("WAYLAND_DISPLAY")) ||
                            env.contains(QStringLiteral("QT_QPA_PLATFORM"));
    std::unique_ptr<QCoreApplication> app;
    if (wantsClipboard && hasDisplay) {
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setApplicationName(QStringLiteral("keskor"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KESKOR_VERSION));
    return keskor::CliApplication().run(QCoreApplication::arguments());
}
