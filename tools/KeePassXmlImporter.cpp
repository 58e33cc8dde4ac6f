#include "tools/KeePassXmlImporter.h"

#include "core/shared/CommonException.h"
#include "core/shared/DateTimeHelper.h"
#include "core/shared/EncryptionHelper.h"
#include "core/shared/FingerPrintHelper.h"
#include "core/shared/ParseHelper.h"
#include "core/shared/SecureBytes.h"

#include <QHash>
#include <QStringDecoder>
#include <QTimeZone>
#include <QtEndian>
#include <algorithm>
#include <cstring>
#include <limits>
#include <map>
#include <pugixml.hpp>

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
    std::ptrdiff_t offset;
};

bool named(const pugi::xml_node& node, const char* name) {
    return std::strcmp(node.name(), name) == 0;
}

bool isTrue(const pugi::xml_attribute& attribute) {
    return attribute &&
           ParseHelper::parseBool(QString::fromUtf8(attribute.value())).value_or(false);
}

class Parser {
public:
    Parser(QByteArray xml, const KeePassXmlImporter::Unsealing* unsealing,
           const ImportProgress& progress)
        : m_buffer(std::move(xml)), m_unsealing(unsealing), m_progress(progress),
          m_total(m_buffer.size()) {}

    ~Parser() {
        if (m_unsealing) {
            secureWipe(m_buffer);
        }
    }

    void run() {
        if (m_total == 0) {
            throw CommonException(u"The file is empty."_s);
        }
        // No entity is ever expanded (the reader knows only the five of XML itself), and a
        // DOCTYPE is refused outright; whitespace-only text is kept where it is a whole value.
        // The document is parsed where it lies (and wiped afterwards when it held secrets),
        // which changes the text; where the lines begin is noted first, for the errors.
        for (const char *at = m_buffer.constData(), *end = at + m_total;
             (at = static_cast<const char*>(std::memchr(at, '\n', end - at))) != nullptr; ++at) {
            m_newlines.push_back(at - m_buffer.constData());
        }
        // An element's text is kept in the element itself, which halves the nodes to make.
        const pugi::xml_parse_result parsed = m_document.load_buffer_inplace(
            m_buffer.data(), static_cast<std::size_t>(m_total),
            pugi::parse_default | pugi::parse_doctype | pugi::parse_ws_pcdata_single |
                pugi::parse_embed_pcdata,
            pugi::encoding_auto);
        pugi::xml_node root;
        for (pugi::xml_node node : m_document.children()) {
            if (node.type() == pugi::node_doctype) {
                fail(node, u"documents with a DOCTYPE are not accepted"_s);
            }
            if (parsed && node.type() == pugi::node_pcdata) {
                fail(node, u"the file is not well-formed XML (text outside the root element)"_s);
            }
            if (parsed && node.type() == pugi::node_element) {
                if (root) {
                    fail(node, u"the file is not well-formed XML (a second root element)"_s);
                }
                root = node;
            }
        }
        if (parsed.status == pugi::status_no_document_element) {
            failAt(parsed.offset, u"the document has no root element"_s);
        }
        if (!parsed) {
            failAt(parsed.offset, u"the file is not well-formed XML (%1)"_s.arg(
                                      QString::fromUtf8(parsed.description())));
        }
        if (!named(root, "KeePassFile") || *root.attribute("xmlns").value() != '\0') {
            fail(root, u"this is not a KeePass 2 XML file"_s);
        }
        if (m_unsealing) {
            unsealAll(root);
            for (qsizetype i = 0; i < m_unsealing->binaries.size(); ++i) {
                m_binaries.insert(QString::number(i), m_unsealing->binaries[i]);
            }
        }
        bool sawRoot = false;
        for (pugi::xml_node child : root.children()) {
            if (named(child, "Meta")) {
                readMeta(child);
            } else if (named(child, "Root")) {
                sawRoot = true;
                readRoot(child);
            }
        }
        if (!sawRoot) {
            throw CommonException(u"The KeePass file holds no \"Root\" element."_s);
        }
        if (m_protectedValues > 0 && m_encryptedLooking == m_protectedValues) {
            throw CommonException(
                u"line %1: the values marked Protected=\"True\" are encrypted and the file does "
                "not hold their key; export the database from KeePass as an unencrypted XML "
                "file and import that"_s.arg(lineAt(m_firstProtectedOffset)));
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
    QByteArray m_buffer;
    const KeePassXmlImporter::Unsealing* m_unsealing;
    const ImportProgress& m_progress;
    const qint64 m_total;

    qint64 lineAt(std::ptrdiff_t offset) const {
        return 1 + (std::lower_bound(m_newlines.begin(), m_newlines.end(), offset) -
                    m_newlines.begin());
    }

    [[noreturn]] void failAt(std::ptrdiff_t offset, const QString& what) const {
        throw CommonException(u"line %1: %2"_s.arg(lineAt(offset)).arg(what));
    }

    [[noreturn]] void fail(const pugi::xml_node& node, const QString& what) const {
        failAt(node.offset_debug(), what);
    }

    /// The element's text, CDATA sections included; an element inside is an error.
    QString elementText(const pugi::xml_node& node) const {
        if (!node.first_child()) {
            return QString::fromUtf8(node.value());
        }
        QByteArray text = node.value();
        for (pugi::xml_node child : node.children()) {
            if (child.type() == pugi::node_element) {
                fail(child, u"\"%1\" holds an element where text belongs"_s.arg(
                                QString::fromUtf8(node.name())));
            }
            text += child.value();
        }
        return QString::fromUtf8(text);
    }

    QByteArray base64Data(const pugi::xml_node& node, const QString& what) const {
        auto decoded = QByteArray::fromBase64Encoding(elementText(node).trimmed().toLatin1(),
                                                      QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded) {
            fail(node, u"%1 is not valid base64"_s.arg(what));
        }
        return std::move(*decoded);
    }

    /// Protected values take the inner stream in document order, those of the entries' history
    /// (which is not imported) included, so all are opened before anything is read.
    void unsealAll(const pugi::xml_node& root) {
        pugi::xml_node node = root;
        while (node) {
            if (node.type() == pugi::node_element && isTrue(node.attribute("Protected"))) {
                QByteArray value = base64Data(node, u"a protected value"_s);
                m_unsealing->unseal(value);
                while (node.first_child()) {
                    node.remove_child(node.first_child());
                }
                node.text().set(value.constData());
            }
            if (node.first_child()) {
                node = node.first_child();
                continue;
            }
            while (node && node != root && !node.next_sibling()) {
                node = node.parent();
            }
            node = node == root ? pugi::xml_node() : node.next_sibling();
        }
    }

    void readMeta(const pugi::xml_node& meta) {
        for (pugi::xml_node binaries : meta.children("Binaries")) {
            for (pugi::xml_node binary : binaries.children("Binary")) {
                const QString id = QString::fromUtf8(binary.attribute("ID").value());
                QByteArray data = base64Data(binary, u"binary \"%1\""_s.arg(id));
                // KeePassXC writes an empty attachment as an empty element marked compressed.
                if (isTrue(binary.attribute("Compressed")) && !data.isEmpty()) {
                    try {
                        data = EncryptionHelper::zlibUnzipped(data);
                    } catch (const CommonException&) {
                        fail(binary, u"the compressed binary \"%1\" is damaged"_s.arg(id));
                    }
                }
                m_binaries.insert(id, std::move(data));
            }
        }
    }

    void readRoot(const pugi::xml_node& rootElement) {
        const Sink top{nullptr, &m_items};
        bool flattened = false;
        for (pugi::xml_node child : rootElement.children()) {
            if (named(child, "Group")) {
                if (!flattened) {
                    flattened = true;
                    Info2Item discarded;
                    readGroupContent(child, discarded, top, 0);
                } else {
                    readGroup(child, top, 1);
                }
            } else if (named(child, "Entry")) {
                readEntry(child, top);
            } // DeletedObjects
        }
    }

    void readGroup(const pugi::xml_node& group, const Sink& into, int depth) {
        if (depth > KeePassXmlImporter::kMaxGroupDepth) {
            fail(group,
                 u"groups are nested more than %1 deep"_s.arg(KeePassXmlImporter::kMaxGroupDepth));
        }
        auto folder = newItem(Info2Item::TypeFolder);
        ++m_folders;
        counted(group);
        readGroupContent(group, *folder, Sink{folder.get(), nullptr}, depth);
        into.add(std::move(folder));
    }

    /// `record` takes the group's own values; `into` its entries and sub-groups.
    void readGroupContent(const pugi::xml_node& group, Info2Item& record, const Sink& into,
                          int depth) {
        for (pugi::xml_node child : group.children()) {
            if (named(child, "Name")) {
                record.setDescription(elementText(child));
            } else if (named(child, "Notes")) {
                const QString notes = elementText(child);
                if (!notes.isEmpty()) {
                    record.setComment(notes);
                }
            } else if (named(child, "Times")) {
                readTimes(child, record, false);
            } else if (named(child, "Group")) {
                readGroup(child, into, depth + 1);
            } else if (named(child, "Entry")) {
                readEntry(child, into);
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

    void readEntry(const pugi::xml_node& element, const Sink& into) {
        auto entry = newItem(Info2Item::TypePassword);
        for (pugi::xml_node child : element.children()) {
            if (named(child, "String")) {
                readString(child, *entry);
            } else if (named(child, "Binary")) {
                readBinary(child, *entry);
            } else if (named(child, "Times")) {
                readTimes(child, *entry, true);
            } else if (named(child, "Tags")) {
                const QString tags = normalizedTags(elementText(child));
                if (!tags.isEmpty()) {
                    entry->setText(ItemText::Tags, tags);
                }
            } // History, AutoType, UUID, IconID, colours, CustomData
        }
        ++m_entries;
        counted(element);
        into.add(std::move(entry));
    }

    void readString(const pugi::xml_node& element, Info2Item& entry) {
        const char* key = "";
        QString value;
        bool isProtected = false;
        for (pugi::xml_node child : element.children()) {
            if (named(child, "Key")) {
                key = child.child_value();
            } else if (named(child, "Value")) {
                const bool encryptedMark = isTrue(child.attribute("Protected"));
                isProtected = encryptedMark || isTrue(child.attribute("ProtectInMemory"));
                value = elementText(child);
                if (encryptedMark && !value.isEmpty() && !m_unsealing) {
                    if (m_protectedValues++ == 0) {
                        m_firstProtectedOffset = child.offset_debug();
                    }
                    m_encryptedLooking += looksEncrypted(value) ? 1 : 0;
                }
            }
        }
        if (std::strcmp(key, "Title") == 0) {
            entry.setDescription(value);
        } else if (std::strcmp(key, "Password") == 0) {
            entry.setPassword(value);
        } else if (std::strcmp(key, "UserName") == 0) {
            setIfAny(entry, ItemText::UserName, value);
        } else if (std::strcmp(key, "URL") == 0) {
            setIfAny(entry, ItemText::Url, value);
        } else if (std::strcmp(key, "Notes") == 0) {
            setIfAny(entry, ItemText::Comment, value);
        } else if (std::strncmp(key, "KP2A_URL", 8) == 0) {
            if (!value.isEmpty()) {
                entry.addAdditionalUrl(value);
            }
        } else {
            entry.mutableCustomFields().append(
                PswField{QString::fromUtf8(key), value, QString(), !isProtected});
        }
    }

    static void setIfAny(Info2Item& entry, ItemText field, const QString& value) {
        if (!value.isEmpty()) {
            entry.setText(field, value);
        }
    }

    void readBinary(const pugi::xml_node& element, Info2Item& entry) {
        Attachment attachment;
        std::optional<QString> ref;
        std::ptrdiff_t refOffset = 0;
        for (pugi::xml_node child : element.children()) {
            if (named(child, "Key")) {
                attachment.fileName = elementText(child);
            } else if (named(child, "Value")) {
                if (const pugi::xml_attribute refAttribute = child.attribute("Ref")) {
                    ref = QString::fromUtf8(refAttribute.value());
                    refOffset = child.offset_debug();
                } else {
                    attachment.data = base64Data(child, u"the attachment's data"_s);
                }
            }
        }
        attachment.lastModified = entry.lastModified;
        entry.mutableAttachments().append(std::move(attachment));
        if (ref) {
            m_refs.push_back(BinaryRef{&entry, entry.attachments().size() - 1, *ref, refOffset});
        }
    }

    void readTimes(const pugi::xml_node& times, Info2Item& item, bool withExpiry) {
        std::optional<double> expiry;
        bool expires = false;
        for (pugi::xml_node child : times.children()) {
            if (named(child, "CreationTime")) {
                item.created = time(child).value_or(item.created);
            } else if (named(child, "LastModificationTime")) {
                item.lastModified = time(child).value_or(item.lastModified);
            } else if (named(child, "LastAccessTime")) {
                item.lastAccessed = time(child).value_or(item.lastAccessed);
            } else if (named(child, "ExpiryTime")) {
                expiry = time(child);
            } else if (named(child, "Expires")) {
                const auto flag = ParseHelper::parseBool(elementText(child));
                if (!flag) {
                    fail(child, u"\"Expires\" is neither True nor False"_s);
                }
                expires = *flag;
            } else if (named(child, "UsageCount")) {
                const auto count = ParseHelper::parseInteger(elementText(child));
                if (!count || *count < 0 || *count > std::numeric_limits<int>::max()) {
                    fail(child, u"\"UsageCount\" is not a valid count"_s);
                }
                item.usageCount = static_cast<int>(*count);
            }
        }
        if (withExpiry && expires && expiry) {
            item.expiryDate = *expiry;
        }
    }

    /// An empty time element means no value.
    std::optional<double> time(const pugi::xml_node& element) {
        const QString text = elementText(element).trimmed();
        if (text.isEmpty()) {
            return std::nullopt;
        }
        const auto value = keePassTime(text, m_localDays);
        if (!value) {
            fail(element, u"\"%1\" is not a valid time"_s.arg(QString::fromUtf8(element.name())));
        }
        return value;
    }

    void resolveBinaries() {
        for (const BinaryRef& ref : m_refs) {
            const auto found = m_binaries.constFind(ref.id);
            if (found == m_binaries.cend()) {
                failAt(
                    ref.offset,
                    u"the attachment refers to binary \"%1\", which the file does not hold"_s.arg(
                        ref.id));
            }
            ref.entry->mutableAttachments()[ref.index].data = *found;
        }
    }

    void counted(const pugi::xml_node& node) {
        if (m_progress && (m_folders + m_entries) % ImportedItems::kProgressStep == 0) {
            m_progress(std::clamp<qint64>(node.offset_debug(), 0, m_total), m_total);
        }
    }

    std::vector<std::ptrdiff_t> m_newlines;
    pugi::xml_document m_document;
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
    std::ptrdiff_t m_firstProtectedOffset = 0;
};

} // namespace

ImportedItems KeePassXmlImporter::read(QByteArray xml, const ImportProgress& progress) {
    Parser parser(std::move(xml), nullptr, progress);
    parser.run();
    return parser.take();
}

ImportedItems KeePassXmlImporter::read(QByteArray xml, const Unsealing& unsealing,
                                       const ImportProgress& progress) {
    Parser parser(std::move(xml), &unsealing, progress);
    parser.run();
    return parser.take();
}

} // namespace keskor
