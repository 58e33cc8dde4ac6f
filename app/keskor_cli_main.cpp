// keskor-cli: Keskor databases from a terminal. Only `clip` needs a display; every other
// command runs without one.

#include "app/cli/CliApplication.h"
#include "platform/ProcessHardening.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QProcessEnvironment>
#include <memory>

int main(int argc, char** argv) {
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
