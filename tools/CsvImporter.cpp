#include "tools/CsvImporter.h"

#include "core/shared/CommonException.h"

#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>
#include <algorithm>
#include <array>

namespace keskor {

namespace {

using namespace Qt::Literals::StringLiterals;

enum class Role { Title, UserName, Password, Url, Notes, Group, Category, Tags, Custom };

struct Synonym {
    const char* name;
    Role role;
};

constexpr Synonym kSynonyms[] = {
    {"title", Role::Title},       {"name", Role::Title},        {"description", Role::Title},
    {"username", Role::UserName}, {"user", Role::UserName},     {"user name", Role::UserName},
    {"login", Role::UserName},    {"password", Role::Password}, {"pass", Role::Password},
    {"url", Role::Url},           {"website", Role::Url},       {"web site", Role::Url},
    {"address", Role::Url},       {"notes", Role::Notes},       {"note", Role::Notes},
    {"comment", Role::Notes},     {"comments", Role::Notes},    {"group", Role::Group},
    {"folder", Role::Group},      {"path", Role::Group},        {"category", Role::Category},
    {"tags", Role::Tags},
};

Role roleOf(const QString& header) {
    const QString key = header.trimmed().toLower();
    for (const Synonym& s : kSynonyms) {
        if (key == QLatin1StringView(s.name)) {
            return s.role;
        }
    }
    return Role::Custom;
}

[[noreturn]] void fail(qint64 line, const QString& what) {
    throw CommonException(u"line %1: %2"_s.arg(line).arg(what));
}

/// The whole input as text. A line with bytes that are not UTF-8 is named in the error.
QString decodedText(QByteArray bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        bytes.remove(0, 3);
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    if (!decoder.hasError()) {
        return text;
    }
    // No UTF-8 sequence contains a line feed byte, so each line decodes on its own.
    qint64 line = 1;
    qsizetype start = 0;
    while (start <= bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        end = end < 0 ? bytes.size() : end;
        QStringDecoder lineDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        // The decoder converts, and finds errors, only when its result is taken.
        const QString decodedLine = lineDecoder(QByteArrayView(bytes).sliced(start, end - start));
        if (lineDecoder.hasError()) {
            break;
        }
        ++line;
        start = end + 1;
    }
    fail(line, u"the text is not valid UTF-8"_s);
}

/// Splits the text into records, counting physical lines so errors can name them.
class Records {
public:
    explicit Records(const QString& text) : m_text(text) {}

    /// The next non-blank record, or false at the end of the text.
    bool next(QStringList& fields) {
        fields.clear();
        while (m_pos < m_text.size() && atLineBreak()) {
            skipLineBreak();
        }
        if (m_pos >= m_text.size()) {
            return false;
        }
        m_startLine = m_line;
        while (true) {
            fields.append(field());
            if (m_pos >= m_text.size()) {
                return true;
            }
            if (atLineBreak()) {
                skipLineBreak();
                return true;
            }
            ++m_pos; // the comma
        }
    }

    qint64 startLine() const { return m_startLine; }
    qsizetype position() const { return m_pos; }

private:
    bool atLineBreak() const {
        const QChar c = m_text.at(m_pos);
        return c == u'\n' || c == u'\r';
    }
    /// CRLF, LF or a lone CR.
    void skipLineBreak() {
        if (m_text.at(m_pos) == u'\r' && m_pos + 1 < m_text.size() &&
            m_text.at(m_pos + 1) == u'\n') {
            ++m_pos;
        }
        ++m_pos;
        ++m_line;
    }

    QString field() {
        const qsizetype n = m_text.size();
        if (m_pos < n && m_text.at(m_pos) == u'"') {
            return quotedField();
        }
        const qsizetype start = m_pos;
        while (m_pos < n) {
            const QChar c = m_text.at(m_pos);
            if (c == u',' || c == u'\n' || c == u'\r') {
                break;
            }
            ++m_pos;
        }
        return m_text.mid(start, m_pos - start);
    }

    QString quotedField() {
        const qsizetype n = m_text.size();
        QString value;
        ++m_pos;
        while (true) {
            if (m_pos >= n) {
                fail(m_startLine, u"a quoted field is not closed"_s);
            }
            const QChar c = m_text.at(m_pos++);
            if (c == u'"') {
                if (m_pos < n && m_text.at(m_pos) == u'"') {
                    value += u'"';
                    ++m_pos;
                    continue;
                }
                break;
            }
            if (c == u'\n' || (c == u'\r' && (m_pos >= n || m_text.at(m_pos) != u'\n'))) {
                ++m_line;
            }
            value += c;
        }
        if (m_pos < n && m_text.at(m_pos) != u',' && !atLineBreak()) {
            fail(m_startLine, u"unexpected text after the closing quote of a field"_s);
        }
        return value;
    }

    const QString& m_text;
    qsizetype m_pos = 0;
    qint64 m_line = 1;
    qint64 m_startLine = 1;
};

QString normalizedTags(const QString& text) {
    static const QRegularExpression separators(u"[;,]"_s);
    QStringList tags;
    for (const QString& tag : text.split(separators, Qt::SkipEmptyParts)) {
        const QString trimmed = tag.trimmed();
        if (!trimmed.isEmpty()) {
            tags << trimmed;
        }
    }
    return tags.join(u',');
}

struct Column {
    Role role;
    QString name;
};

class Builder {
public:
    explicit Builder(std::vector<Column> columns) : m_columns(std::move(columns)) {}

    void add(const QStringList& fields, qint64 line) {
        if (std::all_of(fields.begin(), fields.end(),
                        [](const QString& f) { return f.isEmpty(); })) {
            return;
        }
        auto entry = Info2Item::create(Info2Item::TypePassword, QString(""));
        entry->setPassword(QString(""));
        QString path;
        for (std::size_t i = 0; i < m_columns.size(); ++i) {
            const QString& value = fields[static_cast<qsizetype>(i)];
            const Column& column = m_columns[i];
            if (value.isEmpty()) {
                continue;
            }
            switch (column.role) {
            case Role::Title:
                entry->setDescription(value);
                break;
            case Role::UserName:
                entry->setUserName(value);
                break;
            case Role::Password:
                entry->setPassword(value);
                break;
            case Role::Url:
                entry->setUrl(value);
                break;
            case Role::Notes:
                entry->setComment(value);
                break;
            case Role::Group:
                path = value;
                break;
            case Role::Category:
                entry->setText(ItemText::Category, value);
                break;
            case Role::Tags:
                if (const QString tags = normalizedTags(value); !tags.isEmpty()) {
                    entry->setText(ItemText::Tags, tags);
                }
                break;
            case Role::Custom:
                entry->mutableCustomFields().append(PswField{column.name, value, QString(), true});
                break;
            }
        }
        ++m_result.entryCount;
        if (Info2Item* folder = folderFor(path, line)) {
            folder->addSubItem(std::move(entry));
        } else {
            m_result.items.push_back(std::move(entry));
        }
    }

    ImportedItems take() { return std::move(m_result); }

private:
    /// The folder at `path`, made on first use; nullptr for the top level.
    Info2Item* folderFor(const QString& path, qint64 line) {
        QStringList segments;
        for (const QString& part : path.split(u'/')) {
            if (const QString name = part.trimmed(); !name.isEmpty()) {
                segments << name;
            }
        }
        if (segments.size() > CsvImporter::kMaxFolderDepth) {
            fail(line, u"the folder path is nested more than %1 deep"_s.arg(
                           CsvImporter::kMaxFolderDepth));
        }
        Info2Item* parent = nullptr;
        QString key;
        for (const QString& name : segments) {
            // A unit separator cannot be part of a trimmed name and keeps keys unambiguous.
            key += name + u'\x1F';
            Info2Item*& folder = m_folders[key];
            if (!folder) {
                auto created = Info2Item::createFolder(name);
                folder = created.get();
                ++m_result.folderCount;
                if (parent) {
                    parent->addSubItem(std::move(created));
                } else {
                    m_result.items.push_back(std::move(created));
                }
            }
            parent = folder;
        }
        return parent;
    }

    std::vector<Column> m_columns;
    QHash<QString, Info2Item*> m_folders;
    ImportedItems m_result;
};

std::vector<Column> headerColumns(const QStringList& header, qint64 line) {
    std::vector<Column> columns;
    std::array<bool, static_cast<std::size_t>(Role::Custom)> taken{};
    for (qsizetype i = 0; i < header.size(); ++i) {
        QString name = header[i].trimmed();
        if (name.isEmpty()) {
            name = u"Column %1"_s.arg(i + 1);
        }
        Role role = roleOf(name);
        if (role != Role::Custom) {
            bool& roleTaken = taken[static_cast<std::size_t>(role)];
            role = roleTaken ? Role::Custom : role;
            roleTaken = true;
        }
        columns.push_back(Column{role, name});
    }
    if (!taken[static_cast<std::size_t>(Role::Title)] ||
        !taken[static_cast<std::size_t>(Role::Password)]) {
        fail(line, u"the header needs a title column (title, name or description) and a "
                   "password column (password or pass)"_s);
    }
    return columns;
}

} // namespace

ImportedItems CsvImporter::read(const QByteArray& csv, const ImportProgress& progress) {
    const QString text = decodedText(csv);
    Records records(text);
    QStringList fields;
    if (!records.next(fields)) {
        throw CommonException(u"The file is empty."_s);
    }
    const qsizetype width = fields.size();
    Builder builder(headerColumns(fields, records.startLine()));
    std::size_t count = 0;
    while (records.next(fields)) {
        if (fields.size() != width) {
            fail(records.startLine(),
                 u"the record has %1 fields where the header has %2"_s.arg(fields.size())
                     .arg(width));
        }
        builder.add(fields, records.startLine());
        if (progress && ++count % ImportedItems::kProgressStep == 0) {
            progress(records.position(), text.size());
        }
    }
    if (progress) {
        progress(text.size(), text.size());
    }
    return builder.take();
}

} // namespace keskor
