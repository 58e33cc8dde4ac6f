#include "app/cli/DatabaseCommands.h"

#include "app/cli/CliContext.h"
#include "app/cli/CliRun.h"
#include "app/cli/CliUsageError.h"
#include "app/cli/EntryCommands.h"
#include "app/cli/EntryFields.h"
#include "app/cli/EntryPath.h"
#include "core/AppDelegate.h"
#include "core/DatabaseController.h"
#include "core/DatabaseInfoHelper.h"
#include "core/EntryType.h"
#include "core/shared/CommonException.h"
#include "core/shared/KeyHelper.h"
#include "core/shared/PassFile.h"
#include "core/shared/SecureBytes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

namespace keskor {

namespace {

const QCommandLineOption uuidOption =
    valueOption({QStringLiteral("uuid")}, QStringLiteral("Name the entry by its fingerprint."),
                QStringLiteral("FINGERPRINT"));

QString typeName(int type) {
    return EntryCommands::typeName(type);
}

QString kindList() {
    return EntryCommands::typeNames().join(QStringLiteral(", "));
}

// create -----------------------------------------------------------------------------------

// Below 8 MiB Argon2id protects little; above 4 GiB the database would not open on most
// machines.
constexpr int kMinKdfMiB = 8;
constexpr int kMaxKdfMiB = 4096;

int create(CliRun& run) {
    const QFileInfo target(run.argument(0));
    if (target.exists()) {
        throw CommonException(
            QStringLiteral("%1 already exists; choose another name.").arg(run.argument(0)));
    }
    if (!target.absoluteDir().exists()) {
        throw CommonException(
            QStringLiteral("The folder %1 does not exist.").arg(target.absolutePath()));
    }
    const bool usePassword = !run.isSet(QStringLiteral("no-password"));
    const std::optional<QString>& keyFile = run.context().keyFile();
    if (!usePassword && !keyFile) {
        throw CliUsageError(QStringLiteral("--no-password needs --key-file."));
    }
    std::optional<Key256> externalKey;
    if (keyFile) {
        externalKey = KeyHelper::readExternalKey(*keyFile);
    }

    // Measured on this machine unless both are given.
    DatabaseController& databases = run.context().app().databases();
    const bool memorySet = run.isSet(QStringLiteral("kdf-memory"));
    const bool passesSet = run.isSet(QStringLiteral("kdf-passes"));
    const KdfCalibration::Cost measured =
        memorySet && passesSet ? KdfCalibration::Cost{} : databases.newDatabaseKdf(false);
    const int mib = run.intValue(QStringLiteral("kdf-memory"), kMinKdfMiB, kMaxKdfMiB,
                                 static_cast<int>(measured.memoryBytes / KdfCalibration::kMiB));
    const int passes = run.intValue(QStringLiteral("kdf-passes"), 1,
                                    static_cast<int>(KdfCalibration::kMaximumPasses),
                                    static_cast<int>(measured.passes));
    const KdfCalibration::Cost cost{std::uint64_t(mib) * KdfCalibration::kMiB,
                                    std::uint32_t(passes)};

    CreateDatabaseValidator::Input input;
    input.name = target.fileName();
    input.usePassword = usePassword;
    if (usePassword) {
        input.password = run.readSecret(QStringLiteral("New master password"), true);
        input.confirmation = input.password;
    }
    input.hint = run.value(QStringLiteral("hint"));
    input.description = run.value(QStringLiteral("description"));
    input.useKeyFile = keyFile.has_value();
    input.hasKeyFile = externalKey.has_value();

    CreateFileModel model;
    model.location = Location::localDevice;
    model.fileType =
        run.isSet(QStringLiteral("zip")) ? PassFile::FileType::Zip : PassFile::FileType::Plain;
    model.name = target.fileName();
    model.path = target.absolutePath();
    if (run.isSet(QStringLiteral("hint"))) {
        model.hint = input.hint;
    }
    if (run.isSet(QStringLiteral("description"))) {
        model.description = input.description;
    }
    const auto authType = !usePassword ? PassFile::AuthenticationType::KeyFile
                          : keyFile    ? PassFile::AuthenticationType::PasswordAndKeyFile
                                       : PassFile::AuthenticationType::Password;
    model.credentials = FileCredentials(
        usePassword ? std::optional<QString>(input.password) : std::nullopt, externalKey, authType);
    model.kdfMemoryAndPasses = {cost.memoryBytes, cost.passes};
    run.context().presenter().setAssumeYes(run.isSet(QStringLiteral("force-weak")));
    const bool created = run.context().app().databases().createDatabase(input, model);
    secureWipe(input.password);
    secureWipe(input.confirmation);
    if (!created) {
        throw CommonException(QStringLiteral("The database was not created."));
    }
    const DatabaseInfo& info = *run.context().app().mainManager().sessionManager.currentDBInfo;
    run.confirm(QStringLiteral("Created %1").arg(QDir(info.path).filePath(info.name)));
    run.confirm(databases.kdfDescription(cost));
    return 0;
}

// ls ---------------------------------------------------------------------------------------

struct ListFilter {
    std::optional<int> type;
    std::optional<QString> category;
    bool matches(const Info2Item& item) const {
        if (type && item.type != *type && !(item.isFolder && *type == 0)) {
            return false;
        }
        return !category || item.category().value_or(QString()) == *category;
    }
};

QJsonObject itemJson(const Info2Item& item) {
    QJsonObject o{{QStringLiteral("path"), EntryPath::of(item)},
                  {QStringLiteral("description"), item.description()},
                  {QStringLiteral("uuid"), item.fingerprint()},
                  {QStringLiteral("type"), typeName(item.isFolder ? 0 : item.type)},
                  {QStringLiteral("folder"), item.isFolder}};
    if (const auto user = item.userName()) {
        o.insert(QStringLiteral("userName"), *user);
    }
    if (const auto url = item.url()) {
        o.insert(QStringLiteral("url"), *url);
    }
    if (const auto category = item.category()) {
        o.insert(QStringLiteral("category"), *category);
    }
    return o;
}

/// The listing as text, gathered as UTF-8 and written in large pieces: a conversion and a
/// write per line cost more than the walk at 100,000 entries.
class ListWriter {
public:
    explicit ListWriter(CliRun& run) : m_run(run) { m_buffer.reserve(kPiece + 4096); }
    ~ListWriter() { m_run.write(m_buffer); }
    ListWriter(const ListWriter&) = delete;
    ListWriter& operator=(const ListWriter&) = delete;

    void line(int depth, const Info2Item& item) {
        m_buffer.append(depth * 2, ' ');
        m_buffer.append(EntryPath::escape(item.description()).toUtf8());
        if (item.isFolder) {
            m_buffer.append('/');
        }
        m_buffer.append('\n');
        if (m_buffer.size() >= kPiece) {
            m_run.write(m_buffer);
            m_buffer.clear();
        }
    }

private:
    static constexpr qsizetype kPiece = 64 * 1024;
    CliRun& m_run;
    QByteArray m_buffer;
};

void listLevel(const std::vector<std::shared_ptr<Info2Item>>& items, const ListFilter& filter,
               bool recursive, int depth, ListWriter* text, QJsonArray* json) {
    for (const auto& item : items) {
        if (filter.matches(*item)) {
            if (json) {
                json->append(itemJson(*item));
            } else {
                text->line(depth, *item);
            }
        }
        if (recursive && item->isFolder) {
            listLevel(item->subItems(), filter, true, depth + 1, text, json);
        }
    }
}

int ls(CliRun& run) {
    PassFile& file = run.openToRead(run.argument(0));
    const std::shared_ptr<Info2Item> folder = EntryPath::folder(file, run.argument(1));
    ListFilter filter;
    if (run.isSet(QStringLiteral("type"))) {
        filter.type = EntryCommands::typeFromName(run.value(QStringLiteral("type")));
    }
    if (run.isSet(QStringLiteral("category"))) {
        filter.category = run.value(QStringLiteral("category"));
    }
    const auto& items = folder ? folder->subItems() : file.items();
    if (run.isSet(QStringLiteral("json"))) {
        QJsonArray json;
        listLevel(items, filter, run.isSet(QStringLiteral("R")), 0, nullptr, &json);
        run.outJson(json);
    } else {
        ListWriter text(run);
        listLevel(items, filter, run.isSet(QStringLiteral("R")), 0, &text, nullptr);
    }
    return 0;
}

// show -------------------------------------------------------------------------------------

int show(CliRun& run) {
    run.openToRead(run.argument(0));
    const std::shared_ptr<Info2Item> item = run.entry(run.argument(1));
    const bool reveal = run.isSet(QStringLiteral("show-protected"));
    if (run.isSet(QStringLiteral("a"))) {
        // One field, unmasked: asking for it by name is the explicit request.
        const QString wanted = run.value(QStringLiteral("a"));
        const std::optional<QString> value = EntryFields::value(*item, wanted);
        if (!value) {
            throw CommonException(QStringLiteral("The entry has no field \"%1\".").arg(wanted));
        }
        run.out(*value);
        return 0;
    }
    for (const EntryField& field : EntryFields::of(*item)) {
        const bool hide = !reveal && field.isProtected;
        run.out(QStringLiteral("%1: %2").arg(field.name,
                                             hide ? QStringLiteral("PROTECTED") : field.value));
    }
    return 0;
}

// search -----------------------------------------------------------------------------------

void searchIn(const std::vector<std::shared_ptr<Info2Item>>& items, const QString& term,
              EntryPath::Items& out) {
    for (const auto& item : items) {
        const auto contains = [&](const std::optional<QString>& text) {
            return text && text->contains(term, Qt::CaseInsensitive);
        };
        if (item->description().contains(term, Qt::CaseInsensitive) || contains(item->url()) ||
            contains(item->userName())) {
            out.push_back(item);
        }
        searchIn(item->subItems(), term, out);
    }
}

int search(CliRun& run) {
    PassFile& file = run.openToRead(run.argument(0));
    const QString term = run.argument(1);
    EntryPath::Items found;
    if (!term.isEmpty()) {
        searchIn(file.items(), term, found);
    }
    if (run.isSet(QStringLiteral("json"))) {
        QJsonArray json;
        for (const auto& item : found) {
            json.append(itemJson(*item));
        }
        run.outJson(json);
    } else {
        for (const auto& item : found) {
            run.out(EntryPath::of(*item) + (item->isFolder ? QStringLiteral("/") : QString()));
        }
    }
    return found.empty() ? 1 : 0;
}

// recent -----------------------------------------------------------------------------------

int recent(CliRun& run) {
    for (const DatabaseInfo& info :
         run.context().app().mainManager().recentFilesManager.recentFiles()) {
        run.out(info.location == Location::localDevice || info.location == Location::backupDevice
                    ? QDir(info.path).filePath(info.name)
                    : DatabaseInfoHelper::text(info));
    }
    return 0;
}

} // namespace

QList<CliCommand> DatabaseCommands::commands() {
    const QCommandLineOption json =
        flagOption(QStringLiteral("json"), QStringLiteral("Print JSON instead of text."));
    return {
        {QStringLiteral("create"),
         QStringLiteral("DB"),
         QStringLiteral("Create a new database."),
         QStringLiteral(
             "Asks for the new master password twice on a terminal (one line from standard\n"
             "input otherwise). The name gets the .pswe extension unless it has a database\n"
             "extension. Without --zip the plain form is written."),
         {flagOption(QStringLiteral("zip"), QStringLiteral("Write the archive (Zip) form.")),
          valueOption({QStringLiteral("hint")},
                      QStringLiteral("A password hint stored in the clear."),
                      QStringLiteral("TEXT")),
          valueOption({QStringLiteral("description")},
                      QStringLiteral("A description of the database."), QStringLiteral("TEXT")),
          flagOption(QStringLiteral("no-password"),
                     QStringLiteral("No master password: the key file alone opens it.")),
          valueOption({QStringLiteral("kdf-memory")},
                      QStringLiteral(
                          "Key-derivation memory in MiB (8 to 4096; measured here when left out)."),
                      QStringLiteral("MIB")),
          valueOption(
              {QStringLiteral("kdf-passes")},
              QStringLiteral("Key-derivation passes (1 to 100; measured here when left out)."),
              QStringLiteral("N")),
          flagOption(QStringLiteral("force-weak"),
                     QStringLiteral("Answer yes when asked whether a weak password is wanted."))},
         1,
         1,
         true,
         create},
        {QStringLiteral("ls"),
         QStringLiteral("DB [FOLDER]"),
         QStringLiteral("List the entries and folders of a folder."),
         QStringLiteral("Folders end with a slash. Kinds for --type: ") + kindList() + u'.',
         {flagOption(QStringLiteral("R"), QStringLiteral("List the folders below as well.")),
          valueOption({QStringLiteral("type")}, QStringLiteral("Only items of this kind."),
                      QStringLiteral("KIND")),
          valueOption({QStringLiteral("category")}, QStringLiteral("Only items of this category."),
                      QStringLiteral("C")),
          json},
         1,
         2,
         true,
         ls},
        {QStringLiteral("show"),
         QStringLiteral("DB ENTRY"),
         QStringLiteral("Show an entry's fields."),
         QStringLiteral("The password and hidden custom fields are masked unless --show-protected\n"
                        "is given; -a prints the one field asked for as it is."),
         {flagOption(QStringLiteral("show-protected"), QStringLiteral("Show protected fields.")),
          valueOption({QStringLiteral("a"), QStringLiteral("attribute")},
                      QStringLiteral("Print this field only."), QStringLiteral("FIELD")),
          uuidOption},
         1,
         2,
         true,
         show},
        {QStringLiteral("search"),
         QStringLiteral("DB TERM"),
         QStringLiteral("Find entries by description, URL or user name."),
         QStringLiteral("Letter case is ignored. Exit status 1 when nothing is found."),
         {json},
         2,
         2,
         true,
         search},
        {QStringLiteral("recent"),
         QString(),
         QStringLiteral("List the recently opened databases."),
         QString(),
         {},
         0,
         0,
         false,
         recent},
    };
}

} // namespace keskor
