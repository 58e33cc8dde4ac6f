#include "app/cli/ImportCommands.h"

#include "app/cli/CliContext.h"
#include "app/cli/CliRun.h"
#include "app/cli/CliUsageError.h"
#include "app/cli/EntryPath.h"
#include "core/SettingManager.h"
#include "core/shared/CommonException.h"
#include "core/shared/EncryptionHelper.h"
#include "core/shared/PassFile.h"
#include "core/shared/RightsHelper.h"
#include "core/shared/SecureBytes.h"
#include "tools/CsvImporter.h"
#include "tools/KdbxImporter.h"
#include "tools/KeePassXmlImporter.h"
#include "tools/PassFileXmlReader.h"

#include <QFile>
#include <QFileInfo>

namespace keskor {

namespace {

const QString kPasswordFile = QStringLiteral("passwordfile");
const QString kKeePass = QStringLiteral("keepass-xml");
const QString kCsv = QStringLiteral("csv");
const QString kKdbx = QStringLiteral("kdbx");

// Files this large get a progress line per tenth on standard error.
constexpr qint64 kProgressFromBytes = 1 << 20;

QByteArray readInput(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw CommonException(
            QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString()));
    }
    return file.readAll();
}

std::size_t folderCount(const Info2Item& item) {
    std::size_t count = item.isFolder ? 1 : 0;
    for (const auto& sub : item.subItems()) {
        count += folderCount(*sub);
    }
    return count;
}

int import(CliRun& run) {
    const QString source = run.argument(1);
    QByteArray input = readInput(source);
    const qint64 inputSize = input.size();
    QString format = run.value(QStringLiteral("format"));
    if (format.isEmpty()) {
        format = ImportCommands::detectFormat(input.left(4096), source);
    } else if (format != kPasswordFile && format != kKeePass && format != kCsv && format != kKdbx) {
        throw CliUsageError(
            QStringLiteral(
                "--format is one of passwordfile, keepass-xml, kdbx and csv, not \"%1\".")
                .arg(format));
    }
    const QString kdbxKeyPath = run.value(QStringLiteral("kdbx-key-file"));
    if (!kdbxKeyPath.isEmpty() && format != kKdbx) {
        throw CliUsageError(QStringLiteral("--kdbx-key-file goes with a KDBX file."));
    }

    PassFile& file = run.openDatabase(run.argument(0));
    const std::shared_ptr<Info2Item> folder =
        EntryPath::folder(file, run.value(QStringLiteral("folder")));
    if (!RightsHelper::checkCreateRights(file, folder.get())) {
        throw CommonException(QStringLiteral("You have no right to add entries here."));
    }

    int shownTenth = -1;
    const ImportProgress progress = [&](qint64 done, qint64 total) {
        if (inputSize < kProgressFromBytes || total <= 0) {
            return;
        }
        const int tenth = static_cast<int>(done * 10 / total);
        if (tenth != shownTenth) {
            shownTenth = tenth;
            run.note(QStringLiteral("importing %1: %2%")
                         .arg(QFileInfo(source).fileName())
                         .arg(tenth * 10));
        }
    };

    // Everything is read before anything is added, so a file that is bad at line N leaves
    // the database as it was.
    ImportedItems imported;
    if (format == kPasswordFile) {
        const EncryptionHelper protection(run.context().settings().protectionKeyForWriting());
        const PassFileXmlReader reader(protection);
        if (file.items().empty() && !folder) {
            // Into an empty database the export comes back as it was, fingerprints and all.
            PassFileXmlReader::Document document = reader.readFile(input, progress);
            for (const auto& item : document.file.items()) {
                imported.items.push_back(item);
            }
            imported.warnings = document.warnings;
        } else {
            imported = reader.readItems(input, progress);
        }
    } else if (format == kKeePass) {
        imported = KeePassXmlImporter::read(std::move(input), progress);
    } else if (format == kKdbx) {
        // Asked after the database's own password, so piped answers come in that order.
        QString password = run.readSecret(
            QStringLiteral("Password of %1").arg(QFileInfo(source).fileName()), false);
        QByteArray keyFile;
        if (!kdbxKeyPath.isEmpty()) {
            keyFile = readInput(kdbxKeyPath);
        }
        try {
            imported = KdbxImporter::read(input, password,
                                          kdbxKeyPath.isEmpty() ? nullptr : &keyFile, progress);
        } catch (...) {
            secureWipe(password);
            secureWipe(keyFile);
            throw;
        }
        secureWipe(password);
        secureWipe(keyFile);
    } else {
        imported = CsvImporter::read(input, progress);
    }

    Info2Item& target = folder ? *folder : file.root();
    std::size_t entries = 0;
    std::size_t folders = 0;
    for (const auto& item : imported.items) {
        const std::size_t all = item->countWithDescendants();
        const std::size_t inner = folderCount(*item);
        folders += inner;
        entries += all - inner;
        target.addSubItem(item);
    }
    for (const QString& warning : imported.warnings) {
        run.note(QStringLiteral("note: %1").arg(warning));
    }
    file.setModified(true);
    run.saveDatabase();
    run.confirm(QStringLiteral("Imported %1 %2 in %3 %4.")
                    .arg(entries)
                    .arg(entries == 1 ? QStringLiteral("entry") : QStringLiteral("entries"))
                    .arg(folders)
                    .arg(folders == 1 ? QStringLiteral("folder") : QStringLiteral("folders")));
    return 0;
}

} // namespace

QString ImportCommands::detectFormat(const QByteArray& head, const QString& fileName) {
    if (KdbxImporter::isKdbx(head)) {
        return kKdbx;
    }
    if (head.contains("<passwordfile")) {
        return kPasswordFile;
    }
    if (head.contains("<KeePassFile")) {
        return kKeePass;
    }
    if (fileName.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive) ||
        !head.trimmed().startsWith('<')) {
        return kCsv;
    }
    throw CommonException(
        QStringLiteral("The format of %1 is not known; name it with --format.").arg(fileName));
}

QList<CliCommand> ImportCommands::commands() {
    return {
        {QStringLiteral("import"),
         QStringLiteral("DB IN"),
         QStringLiteral("Add the entries of an export file to a database."),
         QStringLiteral(
             "Reads our own XML export (passwordfile), a KeePass 2 XML export (keepass-xml), a\n"
             "KeePass or KeePassXC database in KDBX 4 or 3.1 (kdbx) or a CSV file whose first\n"
             "line names the columns (csv); without --format the content decides. A KDBX file's\n"
             "password is asked after the database's own (one line each on standard input);\n"
             "--kdbx-key-file gives its key file. The whole file is read first: a file that is bad "
             "at some line is\n"
             "reported with that line and nothing is imported. Into an empty database our own\n"
             "export comes back with its fingerprints, so exporting again gives the same tree."),
         {{QStringLiteral("format"), QStringLiteral("passwordfile, keepass-xml, kdbx or csv."),
           QStringLiteral("FORMAT")},
          {QStringLiteral("kdbx-key-file"), QStringLiteral("The key file of the KDBX file."),
           QStringLiteral("F")},
          {QStringLiteral("folder"), QStringLiteral("Put the new items into this folder."),
           QStringLiteral("PATH")}},
         2,
         2,
         true,
         import},
    };
}

} // namespace keskor
