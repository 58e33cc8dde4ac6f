#include "app/cli/ToolCommands.h"

#include "app/cli/CliContext.h"
#include "app/cli/CliRun.h"
#include "app/cli/CliUsageError.h"
#include "app/cli/EntryFields.h"
#include "app/cli/EntryPath.h"
#include "app/cli/GeneratorOptions.h"
#include "core/AppDelegate.h"
#include "core/ClipboardHelper.h"
#include "core/Localizer.h"
#include "core/SettingManager.h"
#include "core/shared/CommonException.h"
#include "core/shared/DateTimeHelper.h"
#include "core/shared/EncryptionHelper.h"
#include "core/shared/PassFile.h"
#include "core/shared/RightsHelper.h"
#include "core/shared/SecureBytes.h"
#include "platform/QtClipboard.h"
#include "platform/RecordingUserNotifier.h"
#include "platform/SystemClock.h"
#include "platform/UnixSignalWatcher.h"
#include "tools/AnalyzeViewController.h"
#include "tools/BreachCheck.h"
#include "tools/KeyGeneratorViewController.h"
#include "tools/PasswordHelper.h"
#include "tools/PwnedPasswordsClient.h"
#include "tools/PwnedRangeParser.h"
#include "tools/XmlExportController.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QNetworkAccessManager>
#include <QTimer>
#include <memory>

namespace keskor {

namespace {

const QCommandLineOption jsonOption =
    flagOption(QStringLiteral("json"), QStringLiteral("Print JSON instead of text."));

// generate ---------------------------------------------------------------------------------

int generate(CliRun& run) {
    const int count = run.intValue(QStringLiteral("count"), 1, 10000, 1);
    // Checked once up front, so a bad option fails before anything is printed.
    if (!run.isSet(QStringLiteral("simple"))) {
        GeneratorOptions::fromRun(run);
    }
    for (int i = 0; i < count; ++i) {
        QString password = GeneratorOptions::generate(run);
        run.out(password);
        secureWipe(password);
    }
    return 0;
}

// estimate ---------------------------------------------------------------------------------

int estimate(CliRun& run) {
    QString password = run.arguments().isEmpty() ? run.readSecret(QStringLiteral("Password"), false)
                                                 : run.argument(0);
    const TextLookup text = run.context().localizer().lookup();
    run.out(PasswordHelper::strengthSummary(password, text));
    run.out(PasswordHelper::crackTimeText(password, false, text));
    run.out(QStringLiteral("%1: %2 %3")
                .arg(text(QStringLiteral("entropy")))
                .arg(PasswordHelper::entropy(password))
                .arg(text(QStringLiteral("bits"))));
    secureWipe(password);
    return 0;
}

// The breached-password service ------------------------------------------------------------

QString failureText(CliRun& run, const UiText& message) {
    return run.context().localizer().text(message);
}

/// How often each of `digests` occurs in known breaches, every prefix asked once, all requests
/// under way at once. Throws CommonException with the first failure; nothing partial is
/// returned.
BreachCheck::Counts checkBreaches(CliRun& run, const QStringList& digests) {
    QNetworkAccessManager network;
    // Destroying the client aborts what is still under way once one request has failed.
    auto client = std::make_unique<PwnedPasswordsClient>(network, run.context().pwnedConfig());
    auto check = std::make_unique<BreachCheck>(*client);
    QEventLoop loop;
    std::optional<BreachCheck::Counts> counts;
    std::optional<QString> failure;
    check->start(
        digests,
        [&](const BreachCheck::Counts& found) {
            counts = found;
            loop.quit();
        },
        [&](const UiText& message) {
            failure = failureText(run, message);
            loop.quit();
        });
    if (!counts && !failure) {
        loop.exec();
    }
    check.reset();
    client.reset();
    if (failure) {
        throw CommonException(*failure);
    }
    return counts.value_or(BreachCheck::Counts());
}

// analyze ----------------------------------------------------------------------------------

int analyze(CliRun& run) {
    PassFile& file = run.openToRead(run.argument(0));
    const TextLookup text = run.context().localizer().lookup();
    AnalyzeViewController analysis(
        run.context().presenter(), text, [&file] { return &file; },
        [] { return DateTimeHelper::Now(); });
    analysis.reload();
    if (run.isSet(QStringLiteral("sort"))) {
        const QString key = run.value(QStringLiteral("sort")).toLower();
        if (key != QStringLiteral("entropy") && key != QStringLiteral("quality") &&
            key != QStringLiteral("cracktime")) {
            throw CliUsageError(
                QStringLiteral("--sort takes entropy, quality or cracktime, not \"%1\".")
                    .arg(run.value(QStringLiteral("sort"))));
        }
        analysis.sort(key, true);
    }
    const std::vector<AnalyzeRow>& rows = analysis.rows();

    const bool pwned = run.isSet(QStringLiteral("pwned"));
    QList<qint64> breached;
    if (pwned) {
        QStringList digests;
        for (const AnalyzeRow& row : rows) {
            QString password = row.item->password().value_or(QString());
            digests.append(PwnedPasswordsClient::digestText(password));
            secureWipe(password);
        }
        const BreachCheck::Counts counts = checkBreaches(run, digests);
        for (const QString& digest : digests) {
            breached.append(counts.value(digest));
        }
    }

    if (run.isSet(QStringLiteral("json"))) {
        QJsonArray json;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const AnalyzeRow& row = rows[i];
            QJsonObject o{{QStringLiteral("path"), EntryPath::of(*row.item)},
                          {QStringLiteral("uuid"), row.item->fingerprint()},
                          {QStringLiteral("entropy"), row.entropy},
                          {QStringLiteral("quality"), qRound(row.quality.value)},
                          {QStringLiteral("crackTimeSeconds"), qint64(row.crackTime)},
                          {QStringLiteral("crackTime"), row.crackTimeText.trimmed()}};
            if (pwned) {
                o.insert(QStringLiteral("breached"), breached.value(qsizetype(i)));
            }
            json.append(o);
        }
        run.outJson(json);
        return 0;
    }
    run.out(QStringLiteral("PATH\tENTROPY\tQUALITY\tCRACK TIME") +
            (pwned ? QStringLiteral("\tBREACHED") : QString()));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const AnalyzeRow& row = rows[i];
        QString line = QStringLiteral("%1\t%2\t%3\t%4")
                           .arg(EntryPath::of(*row.item))
                           .arg(row.entropy)
                           .arg(qRound(row.quality.value))
                           .arg(row.crackTimeText.trimmed());
        if (pwned) {
            line += u'\t' + QString::number(breached.value(qsizetype(i)));
        }
        run.out(line);
    }
    return 0;
}

// pwned ------------------------------------------------------------------------------------

int pwned(CliRun& run) {
    QString password = run.readSecret(QStringLiteral("Password"), false);
    QNetworkAccessManager network;
    PwnedPasswordsClient client(network, run.context().pwnedConfig());
    QEventLoop loop;
    std::optional<qint64> count;
    std::optional<QString> failure;
    client.checkPassword(
        password,
        [&](qint64 found) {
            count = found;
            loop.quit();
        },
        [&](const UiText& message) {
            failure = failureText(run, message);
            loop.quit();
        });
    secureWipe(password);
    if (!count && !failure) {
        loop.exec();
    }
    if (failure) {
        throw CommonException(*failure);
    }
    const TextLookup text = run.context().localizer().lookup();
    if (*count > 0) {
        run.out(text(QStringLiteral("pwned_appear_pre")) + u' ' + QString::number(*count) + u' ' +
                text(QStringLiteral("pwned_appear_suf")));
    } else {
        run.out(text(QStringLiteral("pwned_not_found")));
    }
    return 0;
}

// export -----------------------------------------------------------------------------------

int exportXml(CliRun& run) {
    const QString target = run.argument(1);
    PassFile& file = run.openToRead(run.argument(0));
    if (const auto refused = XmlExportController::refusal(file, target, run.argument(0))) {
        throw CommonException(run.context().localizer().text(*refused));
    }
    XmlExportOptions options;
    if (run.isSet(QStringLiteral("folder"))) {
        options.folder = EntryPath::folder(file, run.value(QStringLiteral("folder"))).get();
    }
    options.includeSubfolders = !run.isSet(QStringLiteral("no-subfolders"));
    const bool needsKey = file.backupServer && !file.backupServer->isEmpty();
    // The one protected header value is read with the installation's key; without one it stays
    // unreadable, as it would on another installation.
    std::optional<Key256> installationKey;
    if (needsKey) {
        installationKey = run.context().settings().protectionKey();
    }
    const EncryptionHelper protection(installationKey ? std::move(*installationKey)
                                                      : Key256::random());
    const SystemClock clock;
    XmlExportController controller(run.context().presenter(), protection, clock,
                                   [&file] { return &file; });
    // The warning goes to stderr so that `export DB -` can be piped without it.
    run.note(run.context().localizer().text(QStringLiteral("export_unencrypted_warning")));
    if (target == u"-") {
        const std::optional<QByteArray> bytes = controller.document(options);
        if (!bytes) {
            throw CommonException(QStringLiteral("Nothing was exported."));
        }
        std::FILE* out = run.context().streams().out;
        if (std::fwrite(bytes->constData(), 1, static_cast<size_t>(bytes->size()), out) !=
                static_cast<size_t>(bytes->size()) ||
            std::fflush(out) != 0) {
            throw CommonException(QStringLiteral("Could not write to standard output."));
        }
        return 0;
    }
    if (!controller.exportToFile(target, options)) {
        throw CommonException(QStringLiteral("Nothing was exported."));
    }
    run.confirm(QStringLiteral("Exported to %1").arg(target));
    return 0;
}

// keyfile ----------------------------------------------------------------------------------

int keyfile(CliRun& run) {
    QString path = run.argument(0);
    const QString suffix = QLatin1Char('.') + QLatin1String(KeyGeneratorViewController::kExtension);
    if (!path.endsWith(suffix, Qt::CaseInsensitive)) {
        path += suffix;
    }
    const QFileInfo target(path);
    if (target.isDir()) {
        throw CommonException(QStringLiteral("%1 is a folder.").arg(path));
    }
    if (target.exists() && !run.isSet(QStringLiteral("force"))) {
        throw CommonException(
            QStringLiteral("%1 exists; a key file is never replaced without --force.").arg(path));
    }
    KeyGeneratorViewController generator(run.context().presenter(), {});
    generator.saveTo(path);
    run.confirm(QStringLiteral("Wrote %1").arg(path));
    return 0;
}

// clip -------------------------------------------------------------------------------------

int clip(CliRun& run) {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        throw CommonException(
            QStringLiteral("keskor-cli clip needs a graphical session (no display found)"));
    }
    const bool byUuid = run.isSet(QStringLiteral("uuid"));
    if (run.arguments().size() > (byUuid ? 2 : 3)) {
        throw CliUsageError(QStringLiteral("too many arguments"));
    }
    run.openToRead(run.argument(0));
    const std::shared_ptr<Info2Item> item = run.entry(byUuid ? QString() : run.argument(1));
    const QString field = run.argument(byUuid ? 1 : 2);
    std::optional<QString> value = EntryFields::value(*item, field);
    if (!value) {
        throw CommonException(QStringLiteral("The entry has no field \"%1\".")
                                  .arg(field.isEmpty() ? QStringLiteral("Password") : field));
    }

    SettingManager& settings = run.context().settings();
    SystemClock clock;
    QtClipboard clipboard;
    RecordingUserNotifier notifier;
    ClipboardHelper helper(clipboard, clock, notifier, run.context().localizer().lookup(),
                           [&settings] { return settings.clipboardClearTime(); });
    helper.copyToClipboard(*value, true);
    for (const RecordingUserNotifier::Notice& notice : notifier.notices()) {
        run.out(QStringList{notice.subtitle, notice.informativeText}.join(u' ').trimmed());
    }
    if (!helper.isClearingPending()) {
        secureWipe(*value);
        return 0;
    }
    // The clipboard lives as long as this process offers it, so the process stays until the
    // clearing has run; a stop request clears at once instead of leaving the secret behind.
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!helper.isClearingPending()) {
            loop.quit();
        }
    });
    poll.start(100);
    bool interrupted = false;
    UnixSignalWatcher stopWatcher;
    QObject::connect(&stopWatcher, &UnixSignalWatcher::stopRequested, &loop, [&](int) {
        interrupted = true;
        QString current = clipboard.text();
        if (current == *value) {
            clipboard.clear();
        }
        secureWipe(current);
        loop.quit();
    });
    loop.exec();
    secureWipe(*value);
    if (interrupted) {
        throw CommonException(QStringLiteral("Interrupted; the clipboard was cleared."));
    }
    run.confirm(QStringLiteral("The clipboard was cleared."));
    return 0;
}

} // namespace

QList<CliCommand> ToolCommands::commands() {
    QList<QCommandLineOption> generateOptions = GeneratorOptions::options();
    generateOptions.append(valueOption(
        {QStringLiteral("c"), QStringLiteral("count")},
        QStringLiteral("How many passwords (1 to 10000, default 1)."), QStringLiteral("COUNT")));
    return {
        {QStringLiteral("generate"), QString(), QStringLiteral("Generate passwords."),
         QStringLiteral(
             "Prints COUNT passwords, one per line. Without a class option all classes take\n"
             "part; the chosen classes share the password equally unless --percent says how."),
         generateOptions, 0, 0, false, generate},
        {QStringLiteral("estimate"),
         QStringLiteral("[PASSWORD]"),
         QStringLiteral("Rate a password's strength."),
         QStringLiteral(
             "Prints the strength summary, the time it could be cracked in and its entropy.\n"
             "Without PASSWORD one line is read from standard input (without echo on a\n"
             "terminal), which keeps it out of the shell history and the process list."),
         {},
         0,
         1,
         false,
         estimate},
        {QStringLiteral("analyze"),
         QStringLiteral("DB"),
         QStringLiteral("Rate every password of a database."),
         QStringLiteral(
             "One line per entry with a password: path, entropy in bits, quality (0 to 100)\n"
             "and crack time, in tree order unless --sort is given (weakest first).\n\n"
             "--pwned also asks the breached-password service how often each password was\n"
             "seen. Only the first five characters of each password's SHA-1 digest are sent,\n"
             "one request per distinct five characters."),
         {valueOption({QStringLiteral("sort")},
                      QStringLiteral("Sort by entropy, quality or cracktime, weakest first."),
                      QStringLiteral("KEY")),
          flagOption(QStringLiteral("pwned"),
                     QStringLiteral("Add the count of known breaches of each password.")),
          jsonOption},
         1,
         1,
         true,
         analyze},
        {QStringLiteral("pwned"),
         QString(),
         QStringLiteral("Check a password against known data breaches."),
         QStringLiteral(
             "Reads the password without echo (one line from standard input otherwise). Only\n"
             "the first five characters of its SHA-1 digest leave the machine. Exits with 0\n"
             "whether it was found or not, and with 1 when the service could not be asked.\n\n"
             "The range service is the deployment's (\"pwned\" in the KESKOR_DEPLOYMENT file);\n"
             "KESKOR_PWNED_URL names another one (its address below \"/range/\") and\n"
             "KESKOR_PWNED_API_KEY the key sent to it; analyze --pwned uses them too."),
         {},
         0,
         0,
         false,
         pwned},
        {QStringLiteral("export"),
         QStringLiteral("DB OUT.xml"),
         QStringLiteral("Export a database as unencrypted XML."),
         QStringLiteral(
             "The file holds every password in the clear: keep it safe and delete it after\n"
             "use. OUT \"-\" writes the document to standard output. The file is readable by\n"
             "you only (mode 0600). It is written in one step, so a failed export leaves an "
             "earlier file as it\n"
             "was. Databases whose rights forbid export are refused."),
         {valueOption({QStringLiteral("folder")}, QStringLiteral("Export only this folder."),
                      QStringLiteral("PATH")),
          flagOption(QStringLiteral("no-subfolders"),
                     QStringLiteral("Leave out the folders below the exported one."))},
         2,
         2,
         true,
         exportXml},
        {QStringLiteral("keyfile"),
         QStringLiteral("OUT.krk"),
         QStringLiteral("Create a new key file."),
         QStringLiteral("The name gets the .krk extension when it lacks it. An existing file is\n"
                        "kept unless --force is given."),
         {flagOption(QStringLiteral("force"), QStringLiteral("Replace an existing file."))},
         1,
         1,
         false,
         keyfile},
        {QStringLiteral("clip"),
         QStringLiteral("DB ENTRY [FIELD]"),
         QStringLiteral("Copy an entry's password or another field to the clipboard."),
         QStringLiteral(
             "FIELD is Password (the default), UserName, URL, Comment, Category, Tags or a\n"
             "custom field's name. The command waits until the clipboard-clear time of the\n"
             "settings has passed and clears the clipboard if it still holds the copy; an\n"
             "interrupt clears it at once. Needs a graphical session."),
         {valueOption({QStringLiteral("uuid")},
                      QStringLiteral("Name the entry by its fingerprint (ENTRY is left out)."),
                      QStringLiteral("FINGERPRINT"))},
         1,
         3,
         true,
         clip},
    };
}

} // namespace keskor
