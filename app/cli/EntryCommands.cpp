#include "app/cli/EntryCommands.h"

#include "app/cli/CliContext.h"
#include "app/cli/CliRun.h"
#include "app/cli/CliUsageError.h"
#include "app/cli/EntryPath.h"
#include "app/cli/GeneratorOptions.h"
#include "core/shared/CommonException.h"
#include "core/shared/DateTimeHelper.h"
#include "core/shared/PassFile.h"
#include "core/shared/RightsHelper.h"
#include "core/shared/SecureBytes.h"

#include <QDate>

namespace keskor {

namespace {

const QCommandLineOption uuidOption(QStringLiteral("uuid"),
                                    QStringLiteral("Name the entry by its fingerprint."),
                                    QStringLiteral("FINGERPRINT"));

QList<QCommandLineOption> fieldOptions() {
    QList<QCommandLineOption> options{
        {QStringLiteral("description"), QStringLiteral("A new description (edit)."),
         QStringLiteral("TEXT")},
        {{QStringLiteral("u"), QStringLiteral("user"), QStringLiteral("username")},
         QStringLiteral("The user name."),
         QStringLiteral("NAME")},
        {QStringLiteral("url"), QStringLiteral("The address."), QStringLiteral("URL")},
        {QStringLiteral("comment"), QStringLiteral("The comment."), QStringLiteral("TEXT")},
        {QStringLiteral("category"), QStringLiteral("The category."), QStringLiteral("C")},
        {QStringLiteral("tags"), QStringLiteral("The tags."), QStringLiteral("TAGS")},
        {QStringLiteral("expiry"),
         QStringLiteral("The expiry date, YYYY-MM-DD; \"never\" removes it."),
         QStringLiteral("DATE")},
        {QStringLiteral("type"), QStringLiteral("The kind of entry (default password)."),
         QStringLiteral("KIND")},
        {QStringLiteral("field"),
         QStringLiteral("A custom field; repeat for more. An empty value removes it."),
         QStringLiteral("NAME=VALUE")},
        {{QStringLiteral("p"), QStringLiteral("password-prompt")},
         QStringLiteral("Ask for the entry's password.")},
        {QStringLiteral("password-stdin"),
         QStringLiteral("Read the entry's password as a line from standard input (after the "
                        "master password).")},
        {QStringLiteral("generate"), QStringLiteral("Generate the entry's password.")},
    };
    return options + GeneratorOptions::options();
}

void requireRight(bool allowed, const QString& what) {
    if (!allowed) {
        throw CommonException(QStringLiteral("You have no right to %1.").arg(what));
    }
}

/// Applies the field options to `item`; true when something changed.
bool applyFields(CliRun& run, Info2Item& item) {
    bool changed = false;
    const auto setText = [&](const char* option, ItemText field) {
        const QString name = QString::fromLatin1(option);
        if (run.isSet(name)) {
            item.setText(field, run.value(name));
            changed = true;
        }
    };
    if (run.isSet(QStringLiteral("description"))) {
        const QString description = run.value(QStringLiteral("description"));
        if (description.isEmpty()) {
            throw CliUsageError(QStringLiteral("The description cannot be empty."));
        }
        item.setDescription(description);
        changed = true;
    }
    setText("user", ItemText::UserName);
    setText("url", ItemText::Url);
    setText("comment", ItemText::Comment);
    setText("category", ItemText::Category);
    setText("tags", ItemText::Tags);
    if (run.isSet(QStringLiteral("expiry"))) {
        const QString text = run.value(QStringLiteral("expiry"));
        if (text == QStringLiteral("never")) {
            item.expiryDate = 0.0;
        } else {
            const QDate date = QDate::fromString(text, Qt::ISODate);
            if (!date.isValid()) {
                throw CliUsageError(
                    QStringLiteral("--expiry takes a date as YYYY-MM-DD, not \"%1\".").arg(text));
            }
            item.expiryDate = DateTimeHelper::toDelphiTime(date.startOfDay());
        }
        changed = true;
    }
    if (run.isSet(QStringLiteral("type"))) {
        const int type = EntryCommands::typeFromName(run.value(QStringLiteral("type")));
        if (type == Info2Item::TypeFolder) {
            throw CliUsageError(QStringLiteral("An entry cannot become a folder; use mkdir."));
        }
        item.type = type;
        changed = true;
    }
    for (const QString& field : run.values(QStringLiteral("field"))) {
        const qsizetype eq = field.indexOf(u'=');
        if (eq <= 0) {
            throw CliUsageError(QStringLiteral("--field takes NAME=VALUE, not \"%1\".").arg(field));
        }
        const QString name = field.left(eq);
        const QString value = field.mid(eq + 1);
        QList<PswField>& fields = item.mutableCustomFields();
        auto it = std::find_if(fields.begin(), fields.end(),
                               [&](const PswField& f) { return f.name == name; });
        if (value.isEmpty()) {
            if (it != fields.end()) {
                fields.erase(it);
            }
        } else if (it != fields.end()) {
            it->value = value;
        } else {
            fields.append(PswField{name, value, QString(), true});
        }
        changed = true;
    }

    const int sources = int(run.isSet(QStringLiteral("password-prompt"))) +
                        int(run.isSet(QStringLiteral("password-stdin"))) +
                        int(run.isSet(QStringLiteral("generate")));
    if (sources > 1) {
        throw CliUsageError(
            QStringLiteral("Choose one of --password-prompt, --password-stdin and --generate."));
    }
    if (sources == 1) {
        QString password = run.isSet(QStringLiteral("generate"))
                               ? GeneratorOptions::generate(run)
                               : run.readSecret(QStringLiteral("Entry password"),
                                                run.isSet(QStringLiteral("password-prompt")));
        item.setPassword(password);
        secureWipe(password);
        changed = true;
    }
    return changed;
}

/// The folder named by `parts` (the top of the database when empty), with the folders on the
/// way that are missing made when `create`; false in `made` when all of them existed.
std::shared_ptr<Info2Item> folderOf(PassFile& file, const QStringList& parts, bool create,
                                    bool* made = nullptr) {
    if (!create) {
        QStringList escaped;
        for (const QString& part : parts) {
            escaped.append(EntryPath::escape(part));
        }
        return EntryPath::folder(file, escaped.join(u'/'));
    }
    std::shared_ptr<Info2Item> folder;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const auto& siblings = folder ? folder->subItems() : file.items();
        std::shared_ptr<Info2Item> next;
        for (const auto& sibling : siblings) {
            if (!sibling->isFolder || sibling->description() != parts[i]) {
                continue;
            }
            if (next) {
                throw CommonException(
                    QStringLiteral("Several folders are called \"%1\"; rename one first.")
                        .arg(EntryPath::escape(parts[i])));
            }
            next = sibling;
        }
        if (!next) {
            requireRight(RightsHelper::checkCreateRights(file, folder.get()),
                         QStringLiteral("create folders here"));
            next = Info2Item::createFolder(parts[i]);
            (folder ? *folder : file.root()).addSubItem(next);
            if (made) {
                *made = true;
            }
        }
        folder = std::move(next);
    }
    return folder;
}

/// The folder and the last name of an entry path, for the items that do not exist yet; with
/// `createParents` the folders above it are made as needed.
std::pair<std::shared_ptr<Info2Item>, QString> parentAndName(PassFile& file, const QString& path,
                                                             bool createParents = false) {
    QStringList parts = EntryPath::split(path);
    if (parts.isEmpty()) {
        throw CliUsageError(QStringLiteral("The path names nothing."));
    }
    const QString name = parts.takeLast();
    return {folderOf(file, parts, createParents), name};
}

/// Puts `item` into `folder` (the top of the database when null) and saves.
void insertAndSave(CliRun& run, Info2Item* folder, std::shared_ptr<Info2Item> item) {
    PassFile& file = run.database();
    (folder ? *folder : file.root()).addSubItem(std::move(item));
    file.setModified(true);
    run.saveDatabase();
}

int add(CliRun& run) {
    PassFile& file = run.openDatabase(run.argument(0));
    const auto [folder, name] =
        parentAndName(file, run.argument(1), run.isSet(QStringLiteral("parents")));
    requireRight(RightsHelper::checkCreateRights(file, folder.get()),
                 QStringLiteral("add entries here"));
    const int type = run.isSet(QStringLiteral("type"))
                         ? EntryCommands::typeFromName(run.value(QStringLiteral("type")))
                         : Info2Item::TypePassword;
    auto item = Info2Item::create(type, name);
    applyFields(run, *item);
    const QString fingerprint = item->fingerprint();
    insertAndSave(run, folder.get(), std::move(item));
    run.out(fingerprint);
    return 0;
}

int edit(CliRun& run) {
    PassFile& file = run.openDatabase(run.argument(0));
    const std::shared_ptr<Info2Item> item = run.entry(run.argument(1));
    requireRight(RightsHelper::checkModifyRights(file, *item), QStringLiteral("change this entry"));
    // The version before the change goes into the history, as an edit in the window does;
    // the fields are applied to a copy first so that a bad option changes nothing.
    Info2Item changed = *item;
    if (!applyFields(run, changed)) {
        throw CliUsageError(QStringLiteral("Nothing to change: give the fields to set."));
    }
    item->pushHistory(file.maxHistory);
    changed.mutableHistory() = item->history();
    changed.lastModified = DateTimeHelper::Now();
    *item = std::move(changed);
    file.setModified(true);
    run.saveDatabase();
    return 0;
}

Info2Item& parentOf(PassFile& file, const Info2Item& item) {
    return item.parent() ? *item.parent() : file.root();
}

int rm(CliRun& run) {
    PassFile& file = run.openDatabase(run.argument(0));
    const std::shared_ptr<Info2Item> item = run.entry(run.argument(1));
    requireRight(RightsHelper::checkDeleteRights(file, *item), QStringLiteral("delete this entry"));
    if (item->isFolder && !item->subItems().empty() && !run.isSet(QStringLiteral("R"))) {
        throw CommonException(QStringLiteral("%1 is a folder with %2 items; use -R to delete it "
                                             "with everything in it.")
                                  .arg(EntryPath::of(*item))
                                  .arg(item->countWithDescendants() - 1));
    }
    parentOf(file, *item).removeSubItem(item.get());
    file.setModified(true);
    run.saveDatabase();
    return 0;
}

int mkdir(CliRun& run) {
    PassFile& file = run.openDatabase(run.argument(0));
    if (run.isSet(QStringLiteral("p"))) {
        // Like mkdir -p: the folders that exist are fine, the missing ones are made.
        bool made = false;
        folderOf(file, EntryPath::split(run.argument(1)), true, &made);
        if (made) {
            file.setModified(true);
            run.saveDatabase();
        }
        return 0;
    }
    const auto [folder, name] = parentAndName(file, run.argument(1));
    const auto& siblings = folder ? folder->subItems() : file.items();
    for (const auto& sibling : siblings) {
        if (sibling->isFolder && sibling->description() == name) {
            throw CommonException(QStringLiteral("The folder %1 exists.").arg(run.argument(1)));
        }
    }
    requireRight(RightsHelper::checkCreateRights(file, folder.get()),
                 QStringLiteral("create folders here"));
    auto created = Info2Item::createFolder(name);
    insertAndSave(run, folder.get(), std::move(created));
    return 0;
}

int mv(CliRun& run) {
    PassFile& file = run.openDatabase(run.argument(0));
    // With --uuid the entry argument is left out.
    const bool byUuid = run.isSet(QStringLiteral("uuid"));
    if (run.arguments().size() != (byUuid ? 2 : 3)) {
        throw CliUsageError(byUuid ? QStringLiteral("with --uuid give DB FOLDER")
                                   : QStringLiteral("give DB ENTRY FOLDER"));
    }
    const std::shared_ptr<Info2Item> item = run.entry(run.argument(1));
    const std::shared_ptr<Info2Item> target = EntryPath::folder(file, run.arguments().last());
    requireRight(RightsHelper::checkDeleteRights(file, *item), QStringLiteral("move this entry"));
    requireRight(RightsHelper::checkCreateRights(file, target.get()),
                 QStringLiteral("add entries to the target folder"));
    for (const Info2Item* p = target.get(); p; p = p->parent()) {
        if (p == item.get()) {
            throw CommonException(QStringLiteral("A folder cannot move into itself."));
        }
    }
    std::shared_ptr<Info2Item> moved = parentOf(file, *item).removeSubItem(item.get());
    insertAndSave(run, target.get(), std::move(moved));
    return 0;
}

} // namespace

const QStringList& EntryCommands::typeNames() {
    static const QStringList names{QStringLiteral("folder"),      QStringLiteral("password"),
                                   QStringLiteral("creditcard"),  QStringLiteral("license"),
                                   QStringLiteral("identity"),    QStringLiteral("information"),
                                   QStringLiteral("eccard"),      QStringLiteral("encryptedfile"),
                                   QStringLiteral("document"),    QStringLiteral("rdp"),
                                   QStringLiteral("teamviewer"),  QStringLiteral("putty"),
                                   QStringLiteral("certificate"), QStringLiteral("unknown")};
    return names;
}

QString EntryCommands::typeName(int type) {
    return typeNames().value(type, QString::number(type));
}

int EntryCommands::typeFromName(const QString& name) {
    const qsizetype index = typeNames().indexOf(name.toLower());
    if (index < 0) {
        throw CliUsageError(QStringLiteral("unknown kind \"%1\"; the kinds are %2")
                                .arg(name, typeNames().join(QStringLiteral(", "))));
    }
    return static_cast<int>(index);
}

QList<CliCommand> EntryCommands::commands() {
    QList<QCommandLineOption> editOptions = fieldOptions();
    editOptions.append(uuidOption);
    return {
        {QStringLiteral("add"), QStringLiteral("DB ENTRY"), QStringLiteral("Add an entry."),
         QStringLiteral("ENTRY is the folder path and the new entry's description; the folders\n"
                        "must exist unless --parents is given. Prints the new entry's "
                        "fingerprint."),
         fieldOptions() + QList<QCommandLineOption>{flagOption(
                              QStringLiteral("parents"),
                              QStringLiteral("Make the folders of the path that are missing."))},
         2, 2, true, add},
        {QStringLiteral("edit"), QStringLiteral("DB ENTRY"), QStringLiteral("Change an entry."),
         QStringLiteral("The version before the change is kept in the entry's history."),
         editOptions, 1, 2, true, edit},
        {QStringLiteral("rm"),
         QStringLiteral("DB ENTRY"),
         QStringLiteral("Delete an entry or a folder."),
         QString(),
         {{QStringLiteral("R"), QStringLiteral("Delete a folder with everything in it.")},
          uuidOption},
         1,
         2,
         true,
         rm},
        {QStringLiteral("mkdir"),
         QStringLiteral("DB FOLDER"),
         QStringLiteral("Create a folder."),
         QStringLiteral("The folders above it must exist unless -p is given."),
         {{{QStringLiteral("p"), QStringLiteral("parents")},
           QStringLiteral("Make the missing folders of the path; no error when it exists.")}},
         2,
         2,
         true,
         mkdir},
        {QStringLiteral("mv"),
         QStringLiteral("DB ENTRY FOLDER"),
         QStringLiteral("Move an entry or a folder into another folder."),
         QStringLiteral("An empty FOLDER (\"\") is the top of the database."),
         {uuidOption},
         2,
         3,
         true,
         mv},
    };
}

} // namespace keskor
