// keskor-demo: creates a database in the archive form, saves it, opens it again the way the
// program does (header first, then the keyed body) and prints its tree. It is the runnable
// job of the project until the desktop window exists.

#include "core/DemoDatabase.h"
#include "core/shared/ArchiveHelper.h"
#include "core/shared/CommonException.h"
#include "core/shared/FileFormats.h"
#include "core/shared/KeyHelper.h"
#include "core/shared/PassFile.h"
#include "platform/AppPaths.h"
#include "platform/ProcessHardening.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTextStream>
#include <cstdio>

using namespace keskor;

namespace {

QTextStream& out() {
    static QTextStream stream(stdout);
    return stream;
}

void printTree(const Info2Item& item, int depth) {
    for (const auto& child : item.subItems()) {
        QString line = QString(depth * 2, QLatin1Char(' '));
        line +=
            child->isFolder ? QStringLiteral("[%1]").arg(child->description()) : child->description();
        if (!child->isFolder && child->userName()) {
            line += QStringLiteral("  (%1)").arg(*child->userName());
        }
        if (child->isFavorite) {
            line += QStringLiteral("  *favourite");
        }
        if (child->isDeleted) {
            line += QStringLiteral("  *in trash");
        }
        out() << line << '\n';
        printTree(*child, depth + 1);
    }
}

int run(const QStringList& args) {
    const AppPaths paths = AppPaths::fromArguments(args, QProcessEnvironment::systemEnvironment());
    const QString path = QDir(paths.documents()).filePath(QStringLiteral("Demo.pswe"));
    const Credentials credentials(DemoDatabase::kPassword, std::nullopt);

    KeyHelper keys;
    PassFile created = DemoDatabase::create();
    QElapsedTimer timer;
    timer.start();
    const Key256 key = keys.keyFromCredentials(created, credentials);
    const qint64 kdfMs = timer.restart();
    ArchiveHelper::writeSingleEntry(path, FileFormats::DATABASE_NAME, created.getData(key));
    out() << "Created " << QDir::toNativeSeparators(path) << " (" << created.itemCount()
          << " items, key derivation " << kdfMs << " ms, password \"correct horse battery "
          << "staple\")\n";

    // Opening reads the cleartext header first: it holds what the key derivation needs.
    const QByteArray text = ArchiveHelper::readEntry(path, FileFormats::DATABASE_NAME);
    PassFile header;
    header.load(text, nullptr, true);
    KeyHelper sessionKeys; // a new session derives afresh
    const Key256 reopenedKey = sessionKeys.keyFromCredentials(header, credentials);
    PassFile reopened;
    reopened.load(text, &reopenedKey, false);
    reopened.postLoad();
    out() << "Re-opened it: " << reopened.itemCount() << " items, hint \""
          << reopened.hint.value_or(QString()) << "\", content "
          << (reopened.sameContent(created) ? "identical" : "DIFFERENT") << "\n\n";
    printTree(reopened.root(), 0);
    out().flush();
    return reopened.sameContent(created) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    keskor::ProcessHardening::disableCoreDumps();
    QCoreApplication app(argc, argv);
    try {
        return run(QCoreApplication::arguments());
    } catch (const CommonException& e) {
        std::fprintf(stderr, "keskor-demo: %s\n", qPrintable(e.message()));
        return 1;
    }
}
