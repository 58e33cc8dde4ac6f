#include "tools/PassFileXmlWriter.h"

#include "core/shared/DateTimeHelper.h"
#include "core/shared/FileFormats.h"
#include "core/shared/ParseHelper.h"

#include <QBuffer>
#include <QSet>

namespace keskor {

namespace {

constexpr double kNoExpiry = 2147483647.0;
const QString kNull = QStringLiteral("null");
constexpr const char* kDateTimeFmt = " FMT=\"dd.MM.yyyy hh:mm:ss\"";
constexpr const char* kDateFmt = " FMT=\"dd.MM.yyyy\"";

QString escaped(const QString& text) {
    return ParseHelper::rawStringToXml(text);
}

/// An absent text that is always written becomes "null".
QString orNull(const QString& text) {
    return text.isNull() ? kNull : escaped(text);
}

QString boolText(bool value) {
    return ParseHelper::stringFromBool(value, false);
}

/// Appends to one growing buffer: the whole document is built in memory and handed over at
/// once, so a failure half way leaves nothing written.
class XmlOut {
public:
    explicit XmlOut(QByteArray& bytes) : m_bytes(bytes) {}

    void raw(const char* text) { m_bytes.append(text); }
    void raw(const QString& text) { m_bytes.append(text.toUtf8()); }

    void open(const char* name, const char* attributes = "") {
        m_bytes.append('<');
        m_bytes.append(name);
        m_bytes.append(attributes);
        m_bytes.append('>');
    }
    void close(const char* name) {
        m_bytes.append("</");
        m_bytes.append(name);
        m_bytes.append('>');
    }
    /// `value` is already in its XML form.
    void element(const char* name, const QString& value, const char* attributes = "") {
        open(name, attributes);
        raw(value);
        close(name);
    }
    void text(const char* name, const std::optional<QString>& value) {
        if (value) {
            element(name, escaped(*value));
        }
    }
    void integer(const char* name, qint64 value) { element(name, QString::number(value)); }
    void boolean(const char* name, bool value) { element(name, boolText(value)); }
    void decimal(const char* name, double value) {
        element(name, ParseHelper::stringFromDouble(value));
    }
    void dateTime(const char* name, double value) {
        element(name, PassFileXmlWriter::dateTimeText(value), kDateTimeFmt);
    }
    void attachmentData(const Attachment& attachment) {
        QBuffer device(&m_bytes);
        device.open(QIODevice::WriteOnly | QIODevice::Append);
        attachment.writeData(device);
    }

private:
    QByteArray& m_bytes;
};

void writeItemElements(XmlOut& out, const Info2Item& item) {
    out.element("description", orNull(item.description()));
    out.integer("type", item.type);
    out.text("password", item.text(ItemText::Password));
    out.text("username", item.text(ItemText::UserName));
    out.text("url", item.text(ItemText::Url));
    out.text("comment", item.text(ItemText::Comment));
    if (item.lastModified > 1.0) {
        out.dateTime("lastmodified", item.lastModified);
    }
    if (item.expiryDate > 1.0 && item.expiryDate < kNoExpiry) {
        out.element("expirydate", PassFileXmlWriter::dateText(item.expiryDate), kDateFmt);
    }
    if (item.importance != 1) {
        out.integer("importance", item.importance);
    }
    // Fingerprints are identifiers that need no escaping; escaping leaves them unchanged and
    // keeps a damaged one from breaking the document.
    out.element("fingerprint", orNull(item.fingerprint()));
    out.boolean("secondeye", item.secondEye);
    out.text("template", item.text(ItemText::Template));
    if (item.icon.index != -1) {
        out.integer("imageindex", item.icon.index);
    }
    out.boolean("imagecustom", item.icon.custom);
    out.text("paramstr", item.text(ItemText::ParamStr));
    out.text("category", item.text(ItemText::Category));
    out.text("custombrowser", item.text(ItemText::CustomBrowser));
    out.integer("autocompletemethod", item.autoCompleteMethod);
    const auto webForm = item.text(ItemText::WebForm);
    if (webForm && webForm->size() <= PassFileXmlWriter::kMaxWebFormLength) {
        out.text("webform", webForm);
    }
    out.text("loginid", item.text(ItemText::LoginId));
    out.text("passid", item.text(ItemText::PassId));
    if (item.created > 1.0) {
        out.dateTime("created", item.created);
    }
    if (item.lastAccessed > 1.0) {
        out.dateTime("lastaccessed", item.lastAccessed);
    }
    out.boolean("donotaddon", item.doNotAddon);
    out.boolean("markassafe", item.markAsSafe);
    out.boolean("safemode", item.safeMode);
    if (item.rndType != 1) {
        out.integer("rndtype", item.rndType);
    }
    out.text("rndcustom", item.text(ItemText::RndCustom));
    if (item.usageCount > 0) {
        out.integer("usagecount", item.usageCount);
    }
    out.text("sourceid", item.text(ItemText::SourceId));
    out.text("tags", item.text(ItemText::Tags));
    if (!item.additionalUrls().isEmpty()) {
        out.open("urls");
        for (const QString& url : item.additionalUrls()) {
            out.element("url", orNull(url));
        }
        out.close("urls");
    }
    if (!item.customFields().isEmpty()) {
        out.open("customfields");
        for (const PswField& field : item.customFields()) {
            out.raw(QStringLiteral("<field name=\"") + orNull(field.name) +
                    QStringLiteral("\" value=\"") + orNull(field.value) +
                    QStringLiteral("\" inputid=\"") + orNull(field.inputId) +
                    QStringLiteral("\" visible=\"") + boolText(field.visible) +
                    QStringLiteral("\" />"));
        }
        out.close("customfields");
    }
    if (!item.tans().isEmpty()) {
        out.open("tans");
        for (const TanItem& tan : item.tans()) {
            out.open("tan");
            out.element("number", orNull(tan.number));
            out.element("value", orNull(tan.value));
            out.decimal("used", tan.used);
            out.element("amount", ParseHelper::stringFromCurrency(tan.amount));
            out.element("comment", orNull(tan.comment));
            out.element("ccode", orNull(tan.ccode));
            out.close("tan");
        }
        out.close("tans");
    }
    if (!item.attachments().isEmpty()) {
        out.open("attachments");
        for (const Attachment& attachment : item.attachments()) {
            out.open("attachment");
            out.element("filename", orNull(attachment.fileName));
            out.element("originalpath", orNull(attachment.originalPath));
            out.dateTime("lastmodified", attachment.lastModified);
            out.open("data");
            out.attachmentData(attachment);
            out.close("data");
            out.close("attachment");
        }
        out.close("attachments");
    }
}

void writeItem(XmlOut& out, const Info2Item& item) {
    out.open("item");
    writeItemElements(out, item);
    if (!item.history().empty()) {
        out.open("hitems");
        for (const Info2Item& version : item.history()) {
            out.open("hitem");
            writeItemElements(out, version);
            out.close("hitem");
        }
        out.close("hitems");
    }
    out.close("item");
}

struct TreeWriter {
    XmlOut& out;
    std::optional<QSet<QString>> selection;

    bool selected(const Info2Item& item) const {
        return !selection || selection->contains(item.fingerprint());
    }

    void group(const Info2Item& folder, bool hasRecord, bool includeSubfolders) {
        if (hasRecord) {
            out.raw(QStringLiteral("<group name=\"") + orNull(folder.description()) +
                    QStringLiteral("\" fingerprint=\"") + orNull(folder.fingerprint()) +
                    QStringLiteral("\" imageindex=\"") + QString::number(folder.icon.index) +
                    QStringLiteral("\" imagecustom=\"") + boolText(folder.icon.custom) +
                    QStringLiteral("\" category=\"") +
                    orNull(folder.text(ItemText::Category).value_or(QString())) +
                    QStringLiteral("\" comments=\"") +
                    orNull(folder.text(ItemText::Comment).value_or(QString())) +
                    QStringLiteral("\">"));
        } else {
            out.raw("<group name=\"null\" fingerprint=\"null\">");
        }
        for (const auto& child : folder.subItems()) {
            if (child->isFolder && includeSubfolders) {
                group(*child, true, true);
            } else if (child->isFolder || selected(*child)) {
                writeItem(out, *child);
            }
        }
        out.close("group");
    }
};

void writeHeader(XmlOut& out, const PassFile& file, const EncryptionHelper& protection,
                 const QDateTime& exportMoment) {
    out.open("header");
    out.element("application", QStringLiteral("Keskor"));
    out.boolean("encrypted", file.encrypted);
    out.boolean("compressed", file.compressed);
    if (file.krServer && !file.krServer->isEmpty()) {
        out.text("krserver", file.krServer);
    }
    if (file.serverTime > 1.0) {
        out.decimal("servertime", file.serverTime);
    }
    if (file.serverPort > 0) {
        out.integer("serverport", file.serverPort);
    }
    if (file.serverUser && !file.serverUser->isEmpty()) {
        out.text("serveruser", file.serverUser);
    }
    if (file.offline) {
        out.boolean("offline", true);
    }
    out.integer("authtype", static_cast<int>(file.authType()));
    out.integer("enctype", file.encType);
    out.integer("kdftype", file.kdfType);
    if (file.comments && !file.comments->isEmpty()) {
        out.text("comments", file.comments);
    }
    out.integer("dataformat", FileFormats::DATA_FORMAT_VERSION);
    out.dateTime("lastsynctime", file.lastSyncTime);
    if (file.lastExpiryCheck > 1.0) {
        out.decimal("lastexpirycheck", file.lastExpiryCheck);
    }
    if (file.lastModified > 1.0) {
        out.dateTime("lastmodified", file.lastModified);
    }
    if (file.lastBackup > 1.0) {
        out.dateTime("lastbackup", file.lastBackup);
    }
    out.element("datetime", PassFileXmlWriter::dateTimeText(exportMoment));
    if (file.hint && !file.hint->isEmpty()) {
        out.text("hint", file.hint);
    }
    out.element("fingerprint", orNull(file.fingerprint));
    if (file.backupInterval > 0) {
        out.integer("backupinterval", file.backupInterval);
    }
    if (file.backupPath && !file.backupPath->isEmpty()) {
        out.text("backuppath", file.backupPath);
    }
    if (file.backupServer && !file.backupServer->isEmpty()) {
        out.text("backupserver", protection.getEnc(*file.backupServer));
    }
    if (file.backupLocation != 0) {
        out.integer("backuplocation", file.backupLocation);
    }
    if (file.lastShowEditPass) {
        out.boolean("lastshoweditpass", true);
    }
    if (!file.keepHistory) {
        out.boolean("keephistory", false);
    }
    if (file.maxHistory != 3) {
        out.integer("maxhistory", file.maxHistory);
    }
    out.close("header");
}

QString wallClockText(const QDate& date, const QTime& time) {
    const int hour12 = time.hour() % 12 == 0 ? 12 : time.hour() % 12;
    if (date.year() >= 1 && date.year() <= 9999) {
        // Written by hand: every entry has several of these, and the locale-aware formatting
        // took two fifths of an export.
        char text[] = "dd.MM.yyyy hh:mm:ss";
        const auto put = [&text](int at, int value, int digits) {
            for (int i = digits - 1; i >= 0; --i, value /= 10) {
                text[at + i] = static_cast<char>('0' + value % 10);
            }
        };
        put(0, date.day(), 2);
        put(3, date.month(), 2);
        put(6, date.year(), 4);
        put(11, hour12, 2);
        put(14, time.minute(), 2);
        put(17, time.second(), 2);
        return QString::fromLatin1(text, sizeof text - 1);
    }
    return date.toString(QStringLiteral("dd.MM.yyyy")) + QLatin1Char(' ') +
           QStringLiteral("%1:%2:%3")
               .arg(hour12, 2, 10, QLatin1Char('0'))
               .arg(time.minute(), 2, 10, QLatin1Char('0'))
               .arg(time.second(), 2, 10, QLatin1Char('0'));
}

} // namespace

PassFileXmlWriter::PassFileXmlWriter(const EncryptionHelper& protection, QDateTime exportMoment)
    : m_protection(protection), m_exportMoment(std::move(exportMoment)) {}

QString PassFileXmlWriter::dateTimeText(const QDateTime& dateTime) {
    return dateTime.isValid() ? wallClockText(dateTime.date(), dateTime.time()) : QString();
}

QString PassFileXmlWriter::dateTimeText(double dayNumber) {
    const auto clock = DateTimeHelper::parseDelphiWallClock(dayNumber);
    return clock ? wallClockText(clock->date, clock->time) : QString();
}

QString PassFileXmlWriter::dateText(double dayNumber) {
    const auto clock = DateTimeHelper::parseDelphiWallClock(dayNumber);
    return clock ? clock->date.toString(QStringLiteral("dd.MM.yyyy")) : QString();
}

void PassFileXmlWriter::write(QIODevice& device, const PassFile& file,
                              const XmlExportOptions& options) const {
    device.write(write(file, options));
}

QByteArray PassFileXmlWriter::write(const PassFile& file, const XmlExportOptions& options) const {
    const Info2Item* folder = options.folder ? options.folder : &file.root();
    QByteArray bytes;
    // About 700 bytes an entry: one allocation for most databases instead of a copy per
    // doubling of a document of tens of megabytes.
    bytes.reserve(qsizetype(4096) + qsizetype(700) * qsizetype(folder->countWithDescendants()));
    XmlOut out(bytes);
    out.raw("<?xml version=\"1.0\" encoding=\"utf-8\"?>");
    out.raw("<passwordfile xmlns=\"");
    out.raw(kNamespace);
    out.raw("\">");
    writeHeader(out, file, m_protection, m_exportMoment);
    out.open("passwords");
    TreeWriter writer{out, std::nullopt};
    if (options.selectedFingerprints) {
        writer.selection.emplace(options.selectedFingerprints->begin(),
                                 options.selectedFingerprints->end());
    }
    writer.group(*folder, folder != &file.root(), options.includeSubfolders);
    out.close("passwords");
    out.close("passwordfile");
    return bytes;
}

} // namespace keskor
