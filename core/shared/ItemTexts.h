#pragma once
// The texts of one item (fingerprint, description and the optional text fields) in a single
// heap block, UTF-8 and laid out as the database body stores them: loading and saving copy the
// bytes instead of converting every field, and an entry pays one allocation for all its texts.
// Reads convert to QString on the spot (nothing is cached, so concurrent readers need no lock).
// A write builds a new block; the old one is wiped, as it may hold a password.

#include <QByteArrayView>
#include <QString>
#include <QVarLengthArray>
#include <optional>
#include <utility>
#include <vector>

namespace keskor {

class ByteReader;
class ByteWriter;

/// The optional text fields of an item. Absent and empty are different: an absent text is
/// left out of exports, an empty one is written.
enum class ItemText : int {
    Password = 0,
    UserName,
    Url,
    Comment,
    Template,
    ParamStr,
    Category,
    CustomBrowser,
    WebForm,
    LoginId,
    PassId,
    RndCustom,
    SourceId,
    Tags,
    Count
};

class ItemTexts {
public:
    ItemTexts() noexcept = default;
    ~ItemTexts();
    ItemTexts(const ItemTexts& other);
    ItemTexts& operator=(const ItemTexts& other);
    ItemTexts(ItemTexts&& other) noexcept : m_block(std::exchange(other.m_block, nullptr)) {}
    ItemTexts& operator=(ItemTexts&& other) noexcept;

    QString fingerprint() const;
    void setFingerprint(const QString& fingerprint);
    /// Compares without converting; `encoded` comes from encodeFingerprint.
    bool fingerprintIs(QByteArrayView encoded) const noexcept;
    /// The stored form of a fingerprint, for comparing many items against one value.
    static QByteArray encodeFingerprint(const QString& fingerprint);

    QString description() const;
    /// Converts into `out`, reusing its capacity; false (and `out` untouched) when null.
    bool readDescription(QString& out) const;
    void setDescription(const QString& description);

    std::optional<QString> text(ItemText field) const;
    /// The stored bytes, valid until this object is next written; nullopt when unset.
    std::optional<QByteArrayView> utf8(ItemText field) const noexcept;
    /// Converts into `out`, reusing its capacity (for scans over a whole database).
    bool readText(ItemText field, QString& out) const;
    void setText(ItemText field, const std::optional<QString>& value);
    /// The fields that hold a value, in field order.
    std::vector<std::pair<ItemText, QString>> all() const;

    /// The body stores an item's fingerprint and description first, then other values, then a
    /// count and (field, text) pairs: written and read here in those two parts.
    void writeHead(ByteWriter& out) const;
    void writeTexts(ByteWriter& out) const;
    /// Reads both parts, calling `between()` for what lies between them; false on damage (then
    /// `in` has failed too and this object is unchanged).
    template <typename Between> bool read(ByteReader& in, Between&& between) {
        Scratch scratch;
        if (!readHead(in, scratch)) {
            return false;
        }
        between();
        return readTexts(in, scratch);
    }

    /// For reading ahead in a scan.
    const void* storage() const noexcept { return m_block; }

    bool operator==(const ItemTexts& other) const noexcept;

private:
    /// Bytes of a block being read, wiped however the read ends.
    struct Scratch {
        Scratch() = default;
        ~Scratch();
        Scratch(const Scratch&) = delete;
        Scratch& operator=(const Scratch&) = delete;
        QVarLengthArray<char, 512> bytes;
    };
    bool readHead(ByteReader& in, Scratch& scratch);
    bool readTexts(ByteReader& in, Scratch& scratch);
    struct Layout;
    Layout layout() const noexcept;
    void rebuild(const QString* fingerprint, const QString* description, ItemText field,
                 const std::optional<QString>* value);
    static char* allocate(std::size_t payload);
    void release() noexcept;

    char* m_block = nullptr;
};

} // namespace keskor
