#include "tools/KeePassXmlImporter.h"

#include "core/shared/CommonException.h"
#include "core/shared/DateTimeHelper.h"
#include "core/shared/EncryptionHelper.h"
#include "core/shared/FingerPrintHelper.h"
#include "core/shared/ParseHelper.h"

#include <QHash>
#include <QStringDecoder>
#include <QTimeZone>
#include <QXmlStreamReader>
#include <QtEndian>
#include <algorithm>
#include <limits>
#include <map>

namespace keskor {

namespace {

using namespace Qt::Literals::StringLiterals;

bool isBase64Text(QStringView text) {
    if (text.isEmpty() || text.size() % 4 != 0) {
        return false;
    }
    qsizetype end = text.size();
    for (int pad = 0; pad < 2 && end > 0 && text[end - 1] == u'='; ++pad) {
        --end;
    }
    for (qsizetype i = 0; i < end; ++i) {
        const char16_t c = text[i].unicode();
        const bool ok = (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
                        (c >= u'0' && c <= u'9') || c == u'+' || c == u'/';
        if (!ok) {
            return false;
        }
    }
    return true;
}

/// True when `value` is base64 of bytes that are not readable text: what KeePass's inner
/// stream cipher makes of a protected value.
bool looksEncrypted(const QString& value) {
    if (!isBase64Text(value)) {
        return false;
    }
    const QByteArray bytes = QByteArray::fromBase64(value.toLatin1());
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes);
    if (decoder.hasError()) {
        return true;
    }
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() < 0x20 && c != u'\t' && c != u'\n' && c != u'\r';
    });
}

/// Turns UTC moments into day numbers the way DateTimeHelper does, asking the system for a
/// zone offset once per stretch between two of its transitions: a large file repeats the
/// conversion hundreds of thousands of times, and each system query reads the zone anew.
class LocalDays {
public:
    double fromUtc(qint64 utcSeconds) {
        const int offset = offsetAt(utcSeconds);
        const qint64 local = utcSeconds + offset;
        // Day numbers count from 1899-12-30, 25,569 days before 1970-01-01.
        const qint64 days = floorDiv(local, 86400) + 25569;
        const double fraction =
            static_cast<double>(local - floorDiv(local, 86400) * 86400) / 86400.0;
        return days >= 0 ? static_cast<double>(days) + fraction
                         : static_cast<double>(days) - fraction;
    }

private:
    struct Stretch {
        qint64 end; // exclusive
        int offset;
    };

    static qint64 floorDiv(qint64 a, qint64 b) {
        return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
    }

    int offsetAt(qint64 utcSeconds) {
        auto it = m_stretches.upper_bound(utcSeconds);
        if (it != m_stretches.begin()) {
            --it;
            if (utcSeconds < it->second.end) {
                return it->second.offset;
            }
        }
        const QDateTime moment = QDateTime::fromSecsSinceEpoch(utcSeconds, QTimeZone::utc());
        const int offset = moment.toLocalTime().offsetFromUtc();
        qint64 start = utcSeconds;
        qint64 end = utcSeconds + 1;
        if (m_zone.hasTransitions()) {
            const auto previous = m_zone.previousTransition(moment.addSecs(1));
            const auto next = m_zone.nextTransition(moment);
            if (previous.atUtc.isValid() && previous.atUtc <= moment) {
                start = previous.atUtc.toSecsSinceEpoch();
            }
            if (next.atUtc.isValid()) {
                end = next.atUtc.toSecsSinceEpoch();
            }
        } else if (m_zone.isValid()) {
            start = std::numeric_limits<qint64>::min();
            end = std::numeric_limits<qint64>::max();
        }
        m_stretches[start] = Stretch{end, offset};
        return offset;
    }

    const QTimeZone m_zone = QTimeZone::systemTimeZone();
    std::map<qint64, Stretch> m_stretches;
};

/// Seconds since 1970 of the exact form "yyyy-MM-ddTHH:mm:ssZ", the one KeePass writes.
std::optional<qint64> plainUtcSeconds(QStringView text) {
    if (text.size() != 20 || text[4] != u'-' || text[7] != u'-' || text[10] != u'T' ||
        text[13] != u':' || text[16] != u':' || text[19] != u'Z') {
        return std::nullopt;
    }
    const auto number = [&text](qsizetype from, qsizetype length) {
        int value = 0;
        for (qsizetype i = from; i < from + length; ++i) {
            const char16_t c = text[i].unicode();
            if (c < u'0' || c > u'9') {
                return -1;
            }
            value = value * 10 + (c - u'0');
        }
        return value;
    };
    const int y = number(0, 4), mo = number(5, 2), d = number(8, 2);
    const int h = number(11, 2), mi = number(14, 2), sec = number(17, 2);
    const QDate date(y, mo, d);
    if (!date.isValid() || h < 0 || h > 23 || mi < 0 || mi > 59 || sec < 0 || sec > 59) {
        return std::nullopt;
    }
    return QDate(1970, 1, 1).daysTo(date) * 86400 + h * 3600 + mi * 60 + sec;
}

/// KeePass writes "2024-05-01T10:00:00Z"; KDBX 4 inner documents write base64 of the seconds
/// since 0001-01-01 UTC as a little-endian 64-bit number.
std::optional<double> keePassTime(const QString& text, LocalDays& days) {
    if (const auto seconds = plainUtcSeconds(text)) {
        return days.fromUtc(*seconds);
    }
    QDateTime moment = QDateTime::fromString(text, Qt::ISODate);
    if (!moment.isValid() && isBase64Text(text)) {
        const QByteArray bytes = QByteArray::fromBase64(text.toLatin1());
        if (bytes.size() == 8) {
            const qint64 seconds = qFromLittleEndian<qint64>(bytes.constData());
            static const QDateTime start(QDate(1, 1, 1), QTime(0, 0), QTimeZone::utc());
            moment = start.addSecs(seconds);
        }
    }
    if (!moment.isValid()) {
        return std::nullopt;
    }
    return DateTimeHelper::toDelphiTime(moment);
}

/// KeePass separates tags with ";" (older versions with ","); ours are comma-separated.
QString normalizedTags(QStringView text) {
    QString tags;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != u';' && text[i] != u',') {
            continue;
        }
        const QStringView tag = text.sliced(start, i - start).trimmed();
        if (!tag.isEmpty()) {
            if (!tags.isEmpty()) {
                tags += u',';
            }
            tags += tag;
        }
        start = i + 1;
    }
    return tags;
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

/// An attachment whose data is in Meta/Binaries, resolved once the whole file is read.
struct BinaryRef {
    Info2Item* entry;
    qsizetype index;
    QString id;
    qint64 line;
};

class Parser {
public:
    Parser(const QByteArray& xml, const ImportProgress& progress)
        : m_reader(xml), m_progress(progress), m_total(xml.size()) {}

    void run() {
        if (m_total == 0) {
            throw CommonException(u"The file is empty."_s);
        }
        if (!nextStartElement()) {
            fail(u"the document has no root element"_s);
        }
        if (m_reader.name() != "KeePassFile"_L1 || !m_reader.namespaceUri().isEmpty()) {
            fail(u"this is not a KeePass 2 XML file"_s);
        }
        bool sawRoot = false;
        while (nextChild()) {
            if (m_reader.name() == "Meta"_L1) {
                readMeta();
            } else if (m_reader.name() == "Root"_L1) {
                sawRoot = true;
                readRoot();
            } else {
                skip();
            }
        }
        while (!m_reader.atEnd()) {
            m_reader.readNext();
            checkReader();
        }
        if (!sawRoot) {
            throw CommonException(u"The KeePass file holds no \"Root\" element."_s);
        }
        if (m_protectedValues > 0 && m_encryptedLooking == m_protectedValues) {
            throw CommonException(
                u"line %1: the values marked Protected=\"True\" are encrypted and the file does "
                "not hold their key; export the database from KeePass as an unencrypted XML "
                "file and import that"_s.arg(m_firstProtectedLine));
        }
        resolveBinaries();
        if (m_progress) {
            m_progress(m_total, m_total);
        }
    }

    ImportedItems take() {
        ImportedItems result;
        result.items = std::move(m_items);
        result.folderCount = m_folders;
        result.entryCount = m_entries;
        return result;
    }

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

    QByteArray base64Data(const QString& what) {
        auto decoded = QByteArray::fromBase64Encoding(elementText().trimmed().toLatin1(),
                                                      QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded) {
            fail(u"%1 is not valid base64"_s.arg(what));
        }
        return std::move(*decoded);
    }

    void readMeta() {
        while (nextChild()) {
            if (m_reader.name() == "Binaries"_L1) {
                readBinaries();
            } else {
                skip();
            }
        }
    }

    void readBinaries() {
        while (nextChild()) {
            if (m_reader.name() != "Binary"_L1) {
                skip();
                continue;
            }
            const QXmlStreamAttributes attributes = m_reader.attributes();
            const QString id = attributes.value("ID"_L1).toString();
            const bool compressed =
                ParseHelper::parseBool(attributes.value("Compressed"_L1).toString())
                    .value_or(false);
            const qint64 line = m_reader.lineNumber();
            QByteArray data = base64Data(u"binary \"%1\""_s.arg(id));
            if (compressed) {
                try {
                    data = EncryptionHelper::zlibUnzipped(data);
                } catch (const CommonException&) {
                    throw CommonException(
                        u"line %1: the compressed binary \"%2\" is damaged"_s.arg(line).arg(id));
                }
            }
            m_binaries.insert(id, std::move(data));
        }
    }

    void readRoot() {
        const Sink top{nullptr, &m_items};
        bool flattened = false;
        while (nextChild()) {
            if (m_reader.name() == "Group"_L1) {
                if (!flattened) {
                    flattened = true;
                    Info2Item discarded;
                    readGroupContent(discarded, top, 0);
                } else {
                    readGroup(top, 1);
                }
            } else if (m_reader.name() == "Entry"_L1) {
                readEntry(top);
            } else {
                skip(); // DeletedObjects
            }
        }
    }

    void readGroup(const Sink& into, int depth) {
        if (depth > KeePassXmlImporter::kMaxGroupDepth) {
            fail(u"groups are nested more than %1 deep"_s.arg(KeePassXmlImporter::kMaxGroupDepth));
        }
        auto folder = newItem(Info2Item::TypeFolder);
        ++m_folders;
        counted();
        readGroupContent(*folder, Sink{folder.get(), nullptr}, depth);
        into.add(std::move(folder));
    }

    /// `record` takes the group's own values; `into` its entries and sub-groups.
    void readGroupContent(Info2Item& record, const Sink& into, int depth) {
        while (nextChild()) {
            const QStringView name = m_reader.name();
            if (name == "Name"_L1) {
                record.setDescription(elementText());
            } else if (name == "Notes"_L1) {
                const QString notes = elementText();
                if (!notes.isEmpty()) {
                    record.setComment(notes);
                }
            } else if (name == "Times"_L1) {
                readTimes(record, false);
            } else if (name == "Group"_L1) {
                readGroup(into, depth + 1);
            } else if (name == "Entry"_L1) {
                readEntry(into);
            } else {
                skip();
            }
        }
    }

    std::shared_ptr<Info2Item> newItem(int type) const {
        auto item = std::make_shared<Info2Item>();
        item->setFingerprint(FingerPrintHelper::getNewFingerprint());
        item->type = type;
        item->isFolder = type == Info2Item::TypeFolder;
        item->setDescription(QString(""));
        item->created = m_now;
        item->lastModified = m_now;
        return item;
    }

    void readEntry(const Sink& into) {
        auto entry = newItem(Info2Item::TypePassword);
        while (nextChild()) {
            const QStringView name = m_reader.name();
            if (name == "String"_L1) {
                readString(*entry);
            } else if (name == "Binary"_L1) {
                readBinary(*entry);
            } else if (name == "Times"_L1) {
                readTimes(*entry, true);
            } else if (name == "Tags"_L1) {
                const QString tags = normalizedTags(elementText());
                if (!tags.isEmpty()) {
                    entry->setText(ItemText::Tags, tags);
                }
            } else {
                skip(); // History, AutoType, UUID, IconID, colours, CustomData
            }
        }
        ++m_entries;
        counted();
        into.add(std::move(entry));
    }

    void readString(Info2Item& entry) {
        QString key;
        QString value;
        bool isProtected = false;
        while (nextChild()) {
            if (m_reader.name() == "Key"_L1) {
                key = elementText();
            } else if (m_reader.name() == "Value"_L1) {
                const QXmlStreamAttributes attributes = m_reader.attributes();
                const bool encryptedMark =
                    ParseHelper::parseBool(attributes.value("Protected"_L1).toString())
                        .value_or(false);
                isProtected =
                    encryptedMark ||
                    ParseHelper::parseBool(attributes.value("ProtectInMemory"_L1).toString())
                        .value_or(false);
                const qint64 line = m_reader.lineNumber();
                value = elementText();
                if (encryptedMark && !value.isEmpty()) {
                    if (m_protectedValues++ == 0) {
                        m_firstProtectedLine = line;
                    }
                    m_encryptedLooking += looksEncrypted(value) ? 1 : 0;
                }
            } else {
                skip();
            }
        }
        if (key == "Title"_L1) {
            entry.setDescription(value);
        } else if (key == "Password"_L1) {
            entry.setPassword(value);
        } else if (key == "UserName"_L1 || key == "URL"_L1 || key == "Notes"_L1) {
            if (!value.isEmpty()) {
                entry.setText(key == "UserName"_L1 ? ItemText::UserName
                              : key == "URL"_L1    ? ItemText::Url
                                                   : ItemText::Comment,
                              value);
            }
        } else if (key.startsWith("KP2A_URL"_L1)) {
            if (!value.isEmpty()) {
                entry.addAdditionalUrl(value);
            }
        } else {
            entry.mutableCustomFields().append(PswField{key, value, QString(), !isProtected});
        }
    }

    void readBinary(Info2Item& entry) {
        Attachment attachment;
        std::optional<QString> ref;
        qint64 refLine = 0;
        while (nextChild()) {
            if (m_reader.name() == "Key"_L1) {
                attachment.fileName = elementText();
            } else if (m_reader.name() == "Value"_L1) {
                const QXmlStreamAttributes attributes = m_reader.attributes();
                if (attributes.hasAttribute("Ref"_L1)) {
                    ref = attributes.value("Ref"_L1).toString();
                    refLine = m_reader.lineNumber();
                    skip();
                } else {
                    attachment.data = base64Data(u"the attachment's data"_s);
                }
            } else {
                skip();
            }
        }
        attachment.lastModified = entry.lastModified;
        entry.mutableAttachments().append(std::move(attachment));
        if (ref) {
            m_refs.push_back(BinaryRef{&entry, entry.attachments().size() - 1, *ref, refLine});
        }
    }

    void readTimes(Info2Item& item, bool withExpiry) {
        std::optional<double> expiry;
        bool expires = false;
        while (nextChild()) {
            const QStringView name = m_reader.name();
            if (name == "CreationTime"_L1) {
                item.created = time().value_or(item.created);
            } else if (name == "LastModificationTime"_L1) {
                item.lastModified = time().value_or(item.lastModified);
            } else if (name == "LastAccessTime"_L1) {
                item.lastAccessed = time().value_or(item.lastAccessed);
            } else if (name == "ExpiryTime"_L1) {
                expiry = time();
            } else if (name == "Expires"_L1) {
                const auto flag = ParseHelper::parseBool(elementText());
                if (!flag) {
                    fail(u"\"Expires\" is neither True nor False"_s);
                }
                expires = *flag;
            } else if (name == "UsageCount"_L1) {
                const auto count = ParseHelper::parseInteger(elementText());
                if (!count || *count < 0 || *count > std::numeric_limits<int>::max()) {
                    fail(u"\"UsageCount\" is not a valid count"_s);
                }
                item.usageCount = static_cast<int>(*count);
            } else {
                skip();
            }
        }
        if (withExpiry && expires && expiry) {
            item.expiryDate = *expiry;
        }
    }

    /// An empty time element means no value.
    std::optional<double> time() {
        const QString name = m_reader.name().toString();
        const QString text = elementText().trimmed();
        if (text.isEmpty()) {
            return std::nullopt;
        }
        const auto value = keePassTime(text, m_localDays);
        if (!value) {
            fail(u"\"%1\" is not a valid time"_s.arg(name));
        }
        return value;
    }

    void resolveBinaries() {
        for (const BinaryRef& ref : m_refs) {
            const auto found = m_binaries.constFind(ref.id);
            if (found == m_binaries.cend()) {
                throw CommonException(
                    u"line %1: the attachment refers to binary \"%2\", which the file does not "
                    "hold"_s.arg(ref.line)
                        .arg(ref.id));
            }
            ref.entry->mutableAttachments()[ref.index].data = *found;
        }
    }

    void counted() {
        if (m_progress && (m_folders + m_entries) % ImportedItems::kProgressStep == 0) {
            m_progress(std::min(m_reader.characterOffset(), m_total), m_total);
        }
    }

    QXmlStreamReader m_reader;
    const ImportProgress& m_progress;
    const qint64 m_total;
    std::vector<std::shared_ptr<Info2Item>> m_items;
    LocalDays m_localDays;
    /// One moment for every item made, which also saves a clock reading per entry.
    const double m_now = DateTimeHelper::Now();
    QHash<QString, QByteArray> m_binaries;
    std::vector<BinaryRef> m_refs;
    std::size_t m_folders = 0;
    std::size_t m_entries = 0;
    std::size_t m_protectedValues = 0;
    std::size_t m_encryptedLooking = 0;
    qint64 m_firstProtectedLine = 0;
};

} // namespace

ImportedItems KeePassXmlImporter::read(const QByteArray& xml, const ImportProgress& progress) {
    Parser parser(xml, progress);
    parser.run();
    return parser.take();
}

} // namespace keskor
