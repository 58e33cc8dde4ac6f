#include "tools/PassFileXmlReader.h"

#include "core/shared/CommonException.h"
#include "core/shared/DateTimeHelper.h"
#include "core/shared/FileFormats.h"
#include "core/shared/FingerPrintHelper.h"
#include "core/shared/ParseHelper.h"
#include "tools/PassFileXmlWriter.h"

#include <QXmlStreamReader>
#include <algorithm>
#include <limits>

namespace keskor {

namespace {

using namespace Qt::Literals::StringLiterals;

const QString kNull = u"null"_s;

/// The writer's "null" for a missing text.
QString fromNullable(const QString& text) {
    return text == kNull ? QString() : text;
}

/// Day number of a date, and a time of day when `withTime`; nothing when the text is not in
/// the writer's form. Computed without time-zone conversion, as the writer prints.
std::optional<double> dayNumber(QStringView text, bool withTime) {
    const qsizetype space = text.indexOf(u' ');
    if (withTime != (space >= 0)) {
        return std::nullopt;
    }
    const QStringView datePart = withTime ? text.left(space) : text;
    const auto dateFields = datePart.split(u'.');
    if (dateFields.size() != 3) {
        return std::nullopt;
    }
    bool ok[3] = {};
    const int day = dateFields[0].toInt(&ok[0]);
    const int month = dateFields[1].toInt(&ok[1]);
    const int year = dateFields[2].toInt(&ok[2]);
    const QDate date(year, month, day);
    if (!ok[0] || !ok[1] || !ok[2] || !date.isValid()) {
        return std::nullopt;
    }
    int seconds = 0;
    if (withTime) {
        const auto timeFields = text.mid(space + 1).split(u':');
        if (timeFields.size() != 3) {
            return std::nullopt;
        }
        const int h = timeFields[0].toInt(&ok[0]);
        const int m = timeFields[1].toInt(&ok[1]);
        const int s = timeFields[2].toInt(&ok[2]);
        if (!ok[0] || !ok[1] || !ok[2] || h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59) {
            return std::nullopt;
        }
        seconds = h * 3600 + m * 60 + s;
    }
    const double days = static_cast<double>(DateTimeHelper::delphiEpoch().daysTo(date));
    const double fraction = seconds / 86400.0;
    return days >= 0 ? days + fraction : days - fraction;
}

enum class Field {
    Unknown,
    Description,
    Type,
    Text,
    LastModified,
    ExpiryDate,
    Importance,
    Fingerprint,
    SecondEye,
    ImageIndex,
    ImageCustom,
    AutoCompleteMethod,
    Created,
    LastAccessed,
    DoNotAddon,
    MarkAsSafe,
    SafeMode,
    RndType,
    UsageCount,
    Urls,
    CustomFields,
    Tans,
    Attachments,
    History,
};

struct FieldName {
    const char* name;
    Field field;
    ItemText text;
};

// In the writer's order, so the usual search ends early.
constexpr FieldName kItemFields[] = {
    {"description", Field::Description, ItemText::Count},
    {"type", Field::Type, ItemText::Count},
    {"password", Field::Text, ItemText::Password},
    {"username", Field::Text, ItemText::UserName},
    {"url", Field::Text, ItemText::Url},
    {"comment", Field::Text, ItemText::Comment},
    {"lastmodified", Field::LastModified, ItemText::Count},
    {"expirydate", Field::ExpiryDate, ItemText::Count},
    {"importance", Field::Importance, ItemText::Count},
    {"fingerprint", Field::Fingerprint, ItemText::Count},
    {"secondeye", Field::SecondEye, ItemText::Count},
    {"template", Field::Text, ItemText::Template},
    {"imageindex", Field::ImageIndex, ItemText::Count},
    {"imagecustom", Field::ImageCustom, ItemText::Count},
    {"paramstr", Field::Text, ItemText::ParamStr},
    {"category", Field::Text, ItemText::Category},
    {"custombrowser", Field::Text, ItemText::CustomBrowser},
    {"autocompletemethod", Field::AutoCompleteMethod, ItemText::Count},
    {"webform", Field::Text, ItemText::WebForm},
    {"loginid", Field::Text, ItemText::LoginId},
    {"passid", Field::Text, ItemText::PassId},
    {"created", Field::Created, ItemText::Count},
    {"lastaccessed", Field::LastAccessed, ItemText::Count},
    {"donotaddon", Field::DoNotAddon, ItemText::Count},
    {"markassafe", Field::MarkAsSafe, ItemText::Count},
    {"safemode", Field::SafeMode, ItemText::Count},
    {"rndtype", Field::RndType, ItemText::Count},
    {"rndcustom", Field::Text, ItemText::RndCustom},
    {"usagecount", Field::UsageCount, ItemText::Count},
    {"sourceid", Field::Text, ItemText::SourceId},
    {"tags", Field::Text, ItemText::Tags},
    {"urls", Field::Urls, ItemText::Count},
    {"customfields", Field::CustomFields, ItemText::Count},
    {"tans", Field::Tans, ItemText::Count},
    {"attachments", Field::Attachments, ItemText::Count},
    {"hitems", Field::History, ItemText::Count},
};

const FieldName* itemField(QStringView name) {
    for (const FieldName& f : kItemFields) {
        if (name == QLatin1StringView(f.name)) {
            return &f;
        }
    }
    return nullptr;
}

/// Where the items of a group go: a folder, or the list of top-level items.
struct Sink {
    Info2Item* folder = nullptr;
    std::vector<std::shared_ptr<Info2Item>>* list = nullptr;

    void add(std::shared_ptr<Info2Item> item) const {
        if (folder) {
            folder->addSubItem(std::move(item));
        } else {
            list->push_back(std::move(item));
        }
    }
};

class Parser {
public:
    Parser(const QByteArray& xml, const EncryptionHelper& protection,
           const ImportProgress& progress)
        : m_reader(xml), m_protection(protection), m_progress(progress), m_total(xml.size()) {
        m_file = PassFile::createNewFile(PassFile::FileType::Plain, std::nullopt,
                                         PassFile::AuthenticationType::Password, false);
    }

    void run() {
        if (m_total == 0) {
            throw CommonException(u"The file is empty."_s);
        }
        if (!nextStartElement()) {
            fail(u"the document has no root element"_s);
        }
        if (m_reader.name() != "passwordfile"_L1 ||
            m_reader.namespaceUri() != QLatin1StringView(PassFileXmlWriter::kNamespace)) {
            fail(u"this is not a Keskor XML export (format 12.0)"_s);
        }
        bool sawPasswords = false;
        while (nextChild()) {
            if (m_reader.name() == "header"_L1) {
                readHeader();
            } else if (m_reader.name() == "passwords"_L1) {
                sawPasswords = true;
                readPasswords();
            } else {
                skip();
            }
        }
        // The rest of the document must be well-formed too.
        while (!m_reader.atEnd()) {
            m_reader.readNext();
            checkReader();
        }
        if (!sawPasswords) {
            throw CommonException(u"The export holds no \"passwords\" element."_s);
        }
        if (m_progress) {
            m_progress(m_total, m_total);
        }
    }

    PassFile& file() { return m_file; }
    std::vector<std::shared_ptr<Info2Item>>& items() { return m_items; }
    QStringList& warnings() { return m_warnings; }
    std::size_t folders() const { return m_folders; }
    std::size_t entries() const { return m_entries; }

private:
    [[noreturn]] void fail(const QString& what) const {
        throw CommonException(u"line %1: %2"_s.arg(m_reader.lineNumber()).arg(what));
    }

    void checkReader() const {
        if (m_reader.tokenType() == QXmlStreamReader::DTD) {
            fail(u"documents with a DOCTYPE are not accepted"_s);
        }
        if (m_reader.hasError()) {
            fail(u"the file is not well-formed XML (%1)"_s.arg(m_reader.errorString()));
        }
    }

    /// Moves to the next start element anywhere; false at the end of the document.
    bool nextStartElement() {
        while (!m_reader.atEnd()) {
            m_reader.readNext();
            checkReader();
            if (m_reader.isStartElement()) {
                return true;
            }
        }
        return false;
    }

    /// Moves to the next child element of the current element; false at its end.
    bool nextChild() {
        const bool found = m_reader.readNextStartElement();
        checkReader();
        return found;
    }

    void skip() {
        m_reader.skipCurrentElement();
        checkReader();
    }

    QString elementText() {
        QString text = m_reader.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
        checkReader();
        return text;
    }

    QString what() const { return u"\"%1\""_s.arg(m_reader.name()); }

    qint64 integer(qint64 low, qint64 high) {
        const QString name = what();
        const auto value = ParseHelper::parseInteger(elementText());
        if (!value || *value < low || *value > high) {
            fail(u"%1 is not a valid whole number"_s.arg(name));
        }
        return *value;
    }
    int integer() {
        return static_cast<int>(
            integer(std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    }
    bool boolean() {
        const QString name = what();
        const auto value = ParseHelper::parseBool(elementText());
        if (!value) {
            fail(u"%1 is not 0 or 1"_s.arg(name));
        }
        return *value;
    }
    double decimal() {
        const QString name = what();
        const auto value = ParseHelper::parseDouble(elementText());
        if (!value) {
            fail(u"%1 is not a number"_s.arg(name));
        }
        return *value;
    }
    /// An empty text is what the writer makes of a day number that is no date.
    double date(bool withTime) {
        const QString name = what();
        const QString text = elementText();
        if (text.isEmpty()) {
            return 0.0;
        }
        const auto value = dayNumber(text, withTime);
        if (!value) {
            fail(u"%1 is not a date of the form %2"_s.arg(name, withTime ? u"dd.MM.yyyy hh:mm:ss"_s
                                                                         : u"dd.MM.yyyy"_s));
        }
        return *value;
    }
    std::optional<QString> optionalText() { return elementText(); }

    void readHeader() {
        PassFile& f = m_file;
        while (nextChild()) {
            const QStringView name = m_reader.name();
            if (name == "encrypted"_L1) {
                f.encrypted = boolean();
            } else if (name == "compressed"_L1) {
                f.compressed = boolean();
            } else if (name == "krserver"_L1) {
                f.krServer = optionalText();
            } else if (name == "servertime"_L1) {
                f.serverTime = decimal();
            } else if (name == "serverport"_L1) {
                f.serverPort = integer();
            } else if (name == "serveruser"_L1) {
                f.serverUser = optionalText();
            } else if (name == "offline"_L1) {
                f.offline = boolean();
            } else if (name == "authtype"_L1) {
                f.setAuthType(static_cast<PassFile::AuthenticationType>(integer(0, 2)));
            } else if (name == "enctype"_L1) {
                f.encType = integer();
            } else if (name == "kdftype"_L1) {
                f.kdfType = integer();
            } else if (name == "comments"_L1) {
                f.comments = optionalText();
            } else if (name == "dataformat"_L1) {
                if (integer() > FileFormats::DATA_FORMAT_VERSION) {
                    fail(u"the export was written by a newer version of Keskor"_s);
                }
            } else if (name == "lastsynctime"_L1) {
                f.lastSyncTime = date(true);
            } else if (name == "lastexpirycheck"_L1) {
                f.lastExpiryCheck = decimal();
            } else if (name == "lastmodified"_L1) {
                f.lastModified = date(true);
            } else if (name == "lastbackup"_L1) {
                f.lastBackup = date(true);
            } else if (name == "hint"_L1) {
                f.hint = optionalText();
            } else if (name == "fingerprint"_L1) {
                const QString fp = fromNullable(elementText());
                if (!fp.isNull()) {
                    f.fingerprint = fp;
                }
            } else if (name == "backupinterval"_L1) {
                f.backupInterval = integer();
            } else if (name == "backuppath"_L1) {
                f.backupPath = optionalText();
            } else if (name == "backupserver"_L1) {
                // Encrypted with this installation's key; another installation cannot read it.
                f.backupServer = m_protection.getDec(elementText());
                if (!f.backupServer) {
                    m_warnings << u"The backup server was written by another installation and "
                                  "was left out."_s;
                }
            } else if (name == "backuplocation"_L1) {
                f.backupLocation = integer();
            } else if (name == "lastshoweditpass"_L1) {
                f.lastShowEditPass = boolean();
            } else if (name == "keephistory"_L1) {
                f.keepHistory = boolean();
            } else if (name == "maxhistory"_L1) {
                f.maxHistory = integer();
            } else {
                // "application", "datetime" and whatever a later version adds.
                skip();
            }
        }
    }

    void readPasswords() {
        const Sink top{nullptr, &m_items};
        while (nextChild()) {
            if (m_reader.name() == "group"_L1) {
                // The database's root has no record of its own: its items are the top level.
                if (!m_reader.attributes().hasAttribute("imageindex"_L1)) {
                    readGroupContent(top, 0);
                } else {
                    readGroup(top, 1);
                }
            } else if (m_reader.name() == "item"_L1) {
                readItem(top);
            } else {
                skip();
            }
        }
    }

    void readGroup(const Sink& into, int depth) {
        if (depth > PassFileXmlReader::kMaxGroupDepth) {
            fail(u"folders are nested more than %1 deep"_s.arg(PassFileXmlReader::kMaxGroupDepth));
        }
        auto folder = std::make_shared<Info2Item>();
        folder->isFolder = true;
        folder->type = Info2Item::TypeFolder;
        folder->created = DateTimeHelper::Now();
        folder->lastModified = folder->created;
        const QXmlStreamAttributes attributes = m_reader.attributes();
        folder->setDescription(fromNullable(attributes.value("name"_L1).toString()));
        folder->setFingerprint(fromNullable(attributes.value("fingerprint"_L1).toString()));
        if (attributes.hasAttribute("imageindex"_L1)) {
            const auto index =
                ParseHelper::parseInteger(attributes.value("imageindex"_L1).toString());
            if (!index || *index < std::numeric_limits<int>::min() ||
                *index > std::numeric_limits<int>::max()) {
                fail(u"the group's \"imageindex\" is not a valid whole number"_s);
            }
            folder->icon.index = static_cast<int>(*index);
        }
        if (attributes.hasAttribute("imagecustom"_L1)) {
            const auto custom =
                ParseHelper::parseBool(attributes.value("imagecustom"_L1).toString());
            if (!custom) {
                fail(u"the group's \"imagecustom\" is not 0 or 1"_s);
            }
            folder->icon.custom = *custom;
        }
        const QString category = fromNullable(attributes.value("category"_L1).toString());
        if (!category.isNull()) {
            folder->setText(ItemText::Category, category);
        }
        const QString comments = fromNullable(attributes.value("comments"_L1).toString());
        if (!comments.isNull()) {
            folder->setComment(comments);
        }
        counted(true);
        readGroupContent(Sink{folder.get(), nullptr}, depth);
        into.add(std::move(folder));
    }

    void readGroupContent(const Sink& into, int depth) {
        while (nextChild()) {
            if (m_reader.name() == "group"_L1) {
                readGroup(into, depth + 1);
            } else if (m_reader.name() == "item"_L1) {
                readItem(into);
            } else {
                skip();
            }
        }
    }

    void readItem(const Sink& into) {
        auto item = std::make_shared<Info2Item>();
        readItemElements(*item, true);
        // A folder exported without its sub-folders comes as an item of the folder kind.
        item->isFolder = item->type == Info2Item::TypeFolder;
        counted(item->isFolder);
        into.add(std::move(item));
    }

    void readItemElements(Info2Item& item, bool withHistory) {
        while (nextChild()) {
            const FieldName* field = itemField(m_reader.name());
            switch (field ? field->field : Field::Unknown) {
            case Field::Description:
                item.setDescription(fromNullable(elementText()));
                break;
            case Field::Type:
                item.type = integer();
                break;
            case Field::Text:
                item.setText(field->text, elementText());
                break;
            case Field::LastModified:
                item.lastModified = date(true);
                break;
            case Field::ExpiryDate:
                item.expiryDate = date(false);
                break;
            case Field::Importance:
                item.importance = integer();
                break;
            case Field::Fingerprint:
                item.setFingerprint(fromNullable(elementText()));
                break;
            case Field::SecondEye:
                item.secondEye = boolean();
                break;
            case Field::ImageIndex:
                item.icon.index = integer();
                break;
            case Field::ImageCustom:
                item.icon.custom = boolean();
                break;
            case Field::AutoCompleteMethod:
                item.autoCompleteMethod = integer();
                break;
            case Field::Created:
                item.created = date(true);
                break;
            case Field::LastAccessed:
                item.lastAccessed = date(true);
                break;
            case Field::DoNotAddon:
                item.doNotAddon = boolean();
                break;
            case Field::MarkAsSafe:
                item.markAsSafe = boolean();
                break;
            case Field::SafeMode:
                item.safeMode = boolean();
                break;
            case Field::RndType:
                item.rndType = integer();
                break;
            case Field::UsageCount:
                item.usageCount = integer();
                break;
            case Field::Urls:
                readUrls(item);
                break;
            case Field::CustomFields:
                readCustomFields(item);
                break;
            case Field::Tans:
                readTans(item);
                break;
            case Field::Attachments:
                readAttachments(item);
                break;
            case Field::History:
                if (withHistory) {
                    readHistory(item);
                    break;
                }
                [[fallthrough]]; // versions have no versions of their own
            case Field::Unknown:
                skip();
                break;
            }
        }
    }

    void readUrls(Info2Item& item) {
        while (nextChild()) {
            if (m_reader.name() == "url"_L1) {
                item.mutableAdditionalUrls().append(fromNullable(elementText()));
            } else {
                skip();
            }
        }
    }

    void readCustomFields(Info2Item& item) {
        while (nextChild()) {
            if (m_reader.name() != "field"_L1) {
                skip();
                continue;
            }
            const QXmlStreamAttributes attributes = m_reader.attributes();
            PswField field;
            field.name = fromNullable(attributes.value("name"_L1).toString());
            field.value = fromNullable(attributes.value("value"_L1).toString());
            field.inputId = fromNullable(attributes.value("inputid"_L1).toString());
            if (attributes.hasAttribute("visible"_L1)) {
                const auto visible =
                    ParseHelper::parseBool(attributes.value("visible"_L1).toString());
                if (!visible) {
                    fail(u"the custom field's \"visible\" is not 0 or 1"_s);
                }
                field.visible = *visible;
            }
            item.mutableCustomFields().append(std::move(field));
            skip();
        }
    }

    void readTans(Info2Item& item) {
        while (nextChild()) {
            if (m_reader.name() != "tan"_L1) {
                skip();
                continue;
            }
            TanItem tan;
            while (nextChild()) {
                const QStringView name = m_reader.name();
                if (name == "number"_L1) {
                    tan.number = fromNullable(elementText());
                } else if (name == "value"_L1) {
                    tan.value = fromNullable(elementText());
                } else if (name == "used"_L1) {
                    tan.used = decimal();
                } else if (name == "amount"_L1) {
                    tan.amount = decimal();
                } else if (name == "comment"_L1) {
                    tan.comment = fromNullable(elementText());
                } else if (name == "ccode"_L1) {
                    tan.ccode = fromNullable(elementText());
                } else {
                    skip();
                }
            }
            item.mutableTans().append(std::move(tan));
        }
    }

    void readAttachments(Info2Item& item) {
        while (nextChild()) {
            if (m_reader.name() != "attachment"_L1) {
                skip();
                continue;
            }
            Attachment attachment;
            while (nextChild()) {
                const QStringView name = m_reader.name();
                if (name == "filename"_L1) {
                    attachment.fileName = fromNullable(elementText());
                } else if (name == "originalpath"_L1) {
                    attachment.originalPath = fromNullable(elementText());
                } else if (name == "lastmodified"_L1) {
                    attachment.lastModified = date(true);
                } else if (name == "data"_L1) {
                    auto decoded = QByteArray::fromBase64Encoding(
                        elementText().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
                    if (!decoded) {
                        fail(u"the attachment's data is not valid base64"_s);
                    }
                    attachment.data = std::move(*decoded);
                } else {
                    skip();
                }
            }
            item.mutableAttachments().append(std::move(attachment));
        }
    }

    void readHistory(Info2Item& item) {
        while (nextChild()) {
            if (m_reader.name() != "hitem"_L1) {
                skip();
                continue;
            }
            Info2Item version;
            readItemElements(version, false);
            item.mutableHistory().push_back(std::move(version));
        }
    }

    void counted(bool folder) {
        ++(folder ? m_folders : m_entries);
        if (m_progress && (m_folders + m_entries) % ImportedItems::kProgressStep == 0) {
            m_progress(std::min(m_reader.characterOffset(), m_total), m_total);
        }
    }

    QXmlStreamReader m_reader;
    const EncryptionHelper& m_protection;
    const ImportProgress& m_progress;
    const qint64 m_total;
    PassFile m_file;
    std::vector<std::shared_ptr<Info2Item>> m_items;
    QStringList m_warnings;
    std::size_t m_folders = 0;
    std::size_t m_entries = 0;
};

void renewFingerprints(Info2Item& item) {
    item.setFingerprint(FingerPrintHelper::getNewFingerprint());
    const QString fingerprint = item.fingerprint();
    for (Info2Item& version : item.mutableHistory()) {
        version.setFingerprint(fingerprint);
    }
    for (const auto& child : item.subItems()) {
        renewFingerprints(*child);
    }
}

} // namespace

PassFileXmlReader::PassFileXmlReader(const EncryptionHelper& protection)
    : m_protection(protection) {}

PassFileXmlReader::Document PassFileXmlReader::readFile(const QByteArray& xml,
                                                        const ImportProgress& progress) const {
    Parser parser(xml, m_protection, progress);
    parser.run();
    Document document{std::move(parser.file()), std::move(parser.warnings())};
    for (auto& item : parser.items()) {
        document.file.addItem(std::move(item));
    }
    return document;
}

ImportedItems PassFileXmlReader::readItems(const QByteArray& xml,
                                           const ImportProgress& progress) const {
    Parser parser(xml, m_protection, progress);
    parser.run();
    ImportedItems result;
    result.items = std::move(parser.items());
    result.folderCount = parser.folders();
    result.entryCount = parser.entries();
    for (const auto& item : result.items) {
        renewFingerprints(*item);
    }
    return result;
}

} // namespace keskor
