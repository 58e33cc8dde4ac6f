#include "core/shared/ItemTexts.h"

#include "core/shared/ByteReader.h"
#include "core/shared/ByteWriter.h"
#include "core/shared/SecureBytes.h"

#include <QStringDecoder>
#include <QVarLengthArray>
#include <array>
#include <cstdlib>
#include <cstring>
#include <new>

namespace keskor {

// Block: a 32-bit payload size, then the payload:
//   fingerprint  kind byte: 0 null; 1 a braced upper-case UUID as its 16 bytes; 2 a text run
//   description  text run
//   texts        count byte, then (field byte, text run) in ascending field order
// A text run is a 32-bit length (ByteWriter::kNull for a null text) and the UTF-8 bytes; from
// the description run and the texts part are each exactly what the body stores.
struct ItemTexts::Layout {
    const char* fingerprint = nullptr; // after the kind byte
    const char* description = nullptr;
    const char* texts = nullptr;
    const char* end = nullptr;
    std::uint8_t kind = 0;
};

namespace {

constexpr std::uint32_t kNull = ByteWriter::kNull;
constexpr std::uint8_t kNoFingerprint = 0;
constexpr std::uint8_t kUuidFingerprint = 1;
constexpr std::uint8_t kTextFingerprint = 2;
constexpr qsizetype kUuidText = 38; // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
constexpr std::size_t kUuidBytes = 16;
constexpr int kFields = static_cast<int>(ItemText::Count);

using Buffer = QVarLengthArray<char, 512>;

std::uint32_t load32(const char* p) noexcept {
    std::uint32_t v = 0;
    std::memcpy(&v, p, 4);
    return v;
}

std::size_t runSize(const char* run) noexcept {
    const std::uint32_t n = load32(run);
    return 4 + (n == kNull ? 0 : n);
}

QByteArrayView runView(const char* run) noexcept {
    const std::uint32_t n = load32(run);
    return n == kNull ? QByteArrayView() : QByteArrayView(run + 4, n);
}

QString toQString(const char* run) {
    const std::uint32_t n = load32(run);
    if (n == kNull) {
        return QString();
    }
    if (n == 0) {
        return QString::fromLatin1(""); // empty, not null
    }
    return QString::fromUtf8(run + 4, static_cast<qsizetype>(n));
}

void append32(Buffer& out, std::uint32_t v) {
    out.append(reinterpret_cast<const char*>(&v), 4);
}

void appendRun(Buffer& out, QByteArrayView bytes, bool null) {
    if (null) {
        append32(out, kNull);
        return;
    }
    append32(out, static_cast<std::uint32_t>(bytes.size()));
    out.append(bytes.data(), bytes.size());
}

void appendText(Buffer& out, const QString& text) {
    // A lone surrogate has no UTF-8 form: it is kept as U+FFFD, which exports then show.
    QString checked = text;
    for (qsizetype i = 0; i < checked.size(); ++i) {
        const QChar c = checked.at(i);
        if (c.isHighSurrogate() && i + 1 < checked.size() && checked.at(i + 1).isLowSurrogate()) {
            ++i;
        } else if (c.isSurrogate()) {
            checked[i] = QChar::ReplacementCharacter;
        }
    }
    QByteArray utf8 = checked.toUtf8();
    appendRun(out, utf8, text.isNull());
    secureWipe(utf8);
}

// A table: every entry of a load passes through here, 32 digits each.
constexpr auto kHexDigits = [] {
    std::array<signed char, 256> t{};
    t.fill(-1); // lower case is kept as text, so it comes back unchanged
    for (int i = 0; i < 10; ++i) {
        t['0' + i] = static_cast<signed char>(i);
    }
    for (int i = 0; i < 6; ++i) {
        t['A' + i] = static_cast<signed char>(10 + i);
    }
    return t;
}();

int hexDigit(char c) noexcept {
    return kHexDigits[static_cast<unsigned char>(c)];
}

bool isDash(qsizetype i) noexcept {
    return i == 9 || i == 14 || i == 19 || i == 24;
}

bool parseUuid(QByteArrayView text, unsigned char* out) noexcept {
    if (text.size() != kUuidText || text.front() != '{' || text.back() != '}') {
        return false;
    }
    std::size_t k = 0;
    for (qsizetype i = 1; i < kUuidText - 1;) {
        if (isDash(i)) {
            if (text[i] != '-') {
                return false;
            }
            ++i;
            continue;
        }
        const int hi = hexDigit(text[i]);
        const int lo = hexDigit(text[i + 1]);
        if (hi < 0 || lo < 0) {
            return false;
        }
        out[k++] = static_cast<unsigned char>(hi << 4 | lo);
        i += 2;
    }
    return k == kUuidBytes;
}

void formatUuid(const char* bytes, char* out) noexcept {
    static const char digits[] = "0123456789ABCDEF";
    qsizetype o = 0;
    out[o++] = '{';
    for (std::size_t k = 0; k < kUuidBytes; ++k) {
        if (isDash(o)) {
            out[o++] = '-';
        }
        const auto b = static_cast<unsigned char>(bytes[k]);
        out[o++] = digits[b >> 4];
        out[o++] = digits[b & 0xF];
    }
    out[o] = '}';
}

void appendFingerprint(Buffer& out, QByteArrayView utf8, bool null) {
    unsigned char uuid[kUuidBytes];
    if (null) {
        out.append(static_cast<char>(kNoFingerprint));
    } else if (parseUuid(utf8, uuid)) {
        out.append(static_cast<char>(kUuidFingerprint));
        out.append(reinterpret_cast<const char*>(uuid), kUuidBytes);
    } else {
        out.append(static_cast<char>(kTextFingerprint));
        appendRun(out, utf8, false);
    }
}

/// Finds `field` in the texts part; the run or nullptr.
const char* findRun(const char* texts, ItemText field) noexcept {
    const auto count = static_cast<std::uint8_t>(*texts);
    const char* p = texts + 1;
    for (std::uint8_t i = 0; i < count; ++i) {
        const auto f = static_cast<std::uint8_t>(*p);
        if (f == static_cast<std::uint8_t>(field)) {
            return p + 1;
        }
        if (f > static_cast<std::uint8_t>(field)) {
            return nullptr; // ascending order
        }
        p += 1 + runSize(p + 1);
    }
    return nullptr;
}

void decodeInto(QByteArrayView bytes, QString& out) {
    // At most one UTF-16 unit per byte; resizing within the capacity does not allocate.
    out.resize(bytes.size());
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QChar* end = decoder.appendToBuffer(out.data(), bytes);
    out.resize(end - out.constData());
}

void wipe(Buffer& buffer) noexcept {
    secureWipe(buffer.data(), static_cast<std::size_t>(buffer.size()));
}

} // namespace

ItemTexts::~ItemTexts() {
    release();
}

ItemTexts::ItemTexts(const ItemTexts& other) {
    if (other.m_block != nullptr) {
        const std::size_t payload = load32(other.m_block);
        m_block = allocate(payload);
        std::memcpy(m_block + 4, other.m_block + 4, payload);
    }
}

ItemTexts& ItemTexts::operator=(const ItemTexts& other) {
    if (this != &other) {
        ItemTexts copy(other);
        *this = std::move(copy);
    }
    return *this;
}

ItemTexts& ItemTexts::operator=(ItemTexts&& other) noexcept {
    if (this != &other) {
        release();
        m_block = std::exchange(other.m_block, nullptr);
    }
    return *this;
}

char* ItemTexts::allocate(std::size_t payload) {
    auto* block = static_cast<char*>(std::malloc(4 + payload));
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    const auto size = static_cast<std::uint32_t>(payload);
    std::memcpy(block, &size, 4);
    return block;
}

void ItemTexts::release() noexcept {
    if (m_block != nullptr) {
        secureWipe(m_block, 4 + load32(m_block));
        std::free(m_block);
        m_block = nullptr;
    }
}

ItemTexts::Layout ItemTexts::layout() const noexcept {
    Layout l;
    if (m_block == nullptr) {
        return l;
    }
    const char* p = m_block + 4;
    l.kind = static_cast<std::uint8_t>(*p);
    l.fingerprint = p + 1;
    l.description = l.fingerprint + (l.kind == kUuidFingerprint   ? kUuidBytes
                                     : l.kind == kTextFingerprint ? runSize(l.fingerprint)
                                                                  : 0);
    l.texts = l.description + runSize(l.description);
    l.end = m_block + 4 + load32(m_block);
    return l;
}

QString ItemTexts::fingerprint() const {
    const Layout l = layout();
    if (l.kind == kUuidFingerprint) {
        char text[kUuidText];
        formatUuid(l.fingerprint, text);
        return QString::fromLatin1(text, kUuidText);
    }
    return l.kind == kTextFingerprint ? toQString(l.fingerprint) : QString();
}

void ItemTexts::setFingerprint(const QString& fingerprint) {
    rebuild(&fingerprint, nullptr, ItemText::Count, nullptr);
}

QByteArray ItemTexts::encodeFingerprint(const QString& fingerprint) {
    Buffer out;
    // Null and empty compare equal, as QStrings do: both get the "no fingerprint" form.
    appendFingerprint(out, fingerprint.toUtf8(), fingerprint.isEmpty());
    return QByteArray(out.data(), out.size());
}

bool ItemTexts::fingerprintIs(QByteArrayView encoded) const noexcept {
    const Layout l = layout();
    const bool emptyHere =
        l.kind == kNoFingerprint || (l.kind == kTextFingerprint && load32(l.fingerprint) == 0);
    if (encoded.size() == 1 && static_cast<std::uint8_t>(encoded[0]) == kNoFingerprint) {
        return emptyHere;
    }
    const qsizetype stored = l.description - l.fingerprint + 1;
    return !emptyHere && stored == encoded.size() &&
           std::memcmp(l.fingerprint - 1, encoded.data(), static_cast<std::size_t>(stored)) == 0;
}

QString ItemTexts::description() const {
    return m_block != nullptr ? toQString(layout().description) : QString();
}

void ItemTexts::setDescription(const QString& description) {
    rebuild(nullptr, &description, ItemText::Count, nullptr);
}

std::optional<QByteArrayView> ItemTexts::utf8(ItemText field) const noexcept {
    if (m_block == nullptr) {
        return std::nullopt;
    }
    if (const char* run = findRun(layout().texts, field)) {
        return runView(run);
    }
    return std::nullopt;
}

std::optional<QString> ItemTexts::text(ItemText field) const {
    if (m_block == nullptr) {
        return std::nullopt;
    }
    if (const char* run = findRun(layout().texts, field)) {
        return toQString(run);
    }
    return std::nullopt;
}

bool ItemTexts::readText(ItemText field, QString& out) const {
    const std::optional<QByteArrayView> bytes = utf8(field);
    if (!bytes) {
        return false;
    }
    decodeInto(*bytes, out);
    return true;
}

bool ItemTexts::readDescription(QString& out) const {
    if (m_block == nullptr || load32(layout().description) == kNull) {
        return false;
    }
    decodeInto(runView(layout().description), out);
    return true;
}

void ItemTexts::setText(ItemText field, const std::optional<QString>& value) {
    rebuild(nullptr, nullptr, field, &value);
}

std::vector<std::pair<ItemText, QString>> ItemTexts::all() const {
    std::vector<std::pair<ItemText, QString>> out;
    if (m_block == nullptr) {
        return out;
    }
    const char* p = layout().texts;
    const auto count = static_cast<std::uint8_t>(*p++);
    out.reserve(count);
    for (std::uint8_t i = 0; i < count; ++i) {
        const auto field = static_cast<ItemText>(static_cast<std::uint8_t>(*p));
        out.emplace_back(field, toQString(p + 1));
        p += 1 + runSize(p + 1);
    }
    return out;
}

void ItemTexts::rebuild(const QString* fingerprint, const QString* description, ItemText field,
                        const std::optional<QString>* value) {
    const Layout l = layout();
    Buffer out;
    if (fingerprint != nullptr) {
        appendFingerprint(out, fingerprint->toUtf8(), fingerprint->isNull());
    } else if (m_block != nullptr) {
        out.append(l.fingerprint - 1, l.description - l.fingerprint + 1);
    } else {
        out.append(static_cast<char>(kNoFingerprint));
    }
    if (description != nullptr) {
        appendText(out, *description);
    } else if (m_block != nullptr) {
        out.append(l.description, static_cast<qsizetype>(runSize(l.description)));
    } else {
        append32(out, kNull);
    }
    if (value == nullptr) {
        if (m_block != nullptr) {
            out.append(l.texts, l.end - l.texts);
        } else {
            out.append(char(0));
        }
    } else {
        // Merge the one changed field into the ascending list.
        const qsizetype countAt = out.size();
        out.append(char(0));
        std::uint8_t count = 0;
        bool placed = !value->has_value();
        const auto put = [&] {
            out.append(static_cast<char>(field));
            appendText(out, **value);
            ++count;
            placed = true;
        };
        if (m_block != nullptr) {
            const char* p = l.texts;
            const auto n = static_cast<std::uint8_t>(*p++);
            for (std::uint8_t i = 0; i < n; ++i) {
                const auto f = static_cast<ItemText>(static_cast<std::uint8_t>(*p));
                const std::size_t size = 1 + runSize(p + 1);
                if (f > field && !placed) {
                    put();
                }
                if (f != field) {
                    out.append(p, static_cast<qsizetype>(size));
                    ++count;
                }
                p += size;
            }
        }
        if (!placed) {
            put();
        }
        out[countAt] = static_cast<char>(count);
    }
    char* block = allocate(static_cast<std::size_t>(out.size()));
    std::memcpy(block + 4, out.data(), static_cast<std::size_t>(out.size()));
    wipe(out);
    release();
    m_block = block;
}

ItemTexts::Scratch::~Scratch() {
    wipe(bytes);
}

void ItemTexts::writeHead(ByteWriter& out) const {
    if (m_block == nullptr) {
        out << kNull << kNull;
        return;
    }
    const Layout l = layout();
    if (l.kind == kUuidFingerprint) {
        char text[kUuidText];
        formatUuid(l.fingerprint, text);
        out << static_cast<std::uint32_t>(kUuidText);
        out.append(text, kUuidText);
    } else if (l.kind == kTextFingerprint) {
        out.append(l.fingerprint, static_cast<qsizetype>(runSize(l.fingerprint)));
    } else {
        out << kNull;
    }
    out.append(l.description, static_cast<qsizetype>(runSize(l.description)));
}

void ItemTexts::writeTexts(ByteWriter& out) const {
    if (m_block == nullptr) {
        out << std::uint8_t(0);
        return;
    }
    const Layout l = layout();
    out.append(l.texts, l.end - l.texts);
}

bool ItemTexts::readHead(ByteReader& in, Scratch& scratch) {
    Buffer& out = scratch.bytes;
    std::uint32_t length = 0;
    in >> length;
    if (length == kNull) {
        appendFingerprint(out, {}, true);
    } else {
        appendFingerprint(out, in.take(length), false);
    }
    in >> length;
    if (!in.ok()) {
        return false;
    }
    appendRun(out, length == kNull ? QByteArrayView() : in.take(length), length == kNull);
    return in.ok();
}

bool ItemTexts::readTexts(ByteReader& in, Scratch& scratch) {
    // Files are written in field order, so the pairs are copied straight into the block; only
    // a hand-made file with fields out of order or repeated (the last value wins) is sorted
    // afterwards.
    std::uint8_t count = 0;
    in >> count;
    Buffer& out = scratch.bytes;
    const qsizetype countAt = out.size();
    out.append(char(0));
    int last = -1;
    bool sorted = true;
    for (std::uint8_t i = 0; i < count && in.ok(); ++i) {
        std::uint8_t field = 0;
        std::uint32_t length = 0;
        in >> field >> length;
        if (!in.ok() || field >= kFields) {
            in.fail();
            break;
        }
        sorted = sorted && field > last;
        last = field;
        out.append(static_cast<char>(field));
        appendRun(out, length == kNull ? QByteArrayView() : in.take(length), length == kNull);
    }
    if (!in.ok()) {
        return false;
    }
    if (sorted) {
        out[countAt] = static_cast<char>(count);
    } else {
        const char* at[kFields] = {};
        const char* p = out.data() + countAt + 1;
        for (std::uint8_t i = 0; i < count; ++i) {
            at[static_cast<std::uint8_t>(*p)] = p;
            p += 1 + runSize(p + 1);
        }
        Scratch ordered;
        ordered.bytes.append(char(0));
        std::uint8_t present = 0;
        for (const char* pair : at) {
            if (pair != nullptr) {
                ordered.bytes.append(pair, static_cast<qsizetype>(1 + runSize(pair + 1)));
                ++present;
            }
        }
        ordered.bytes[0] = static_cast<char>(present);
        secureWipe(out.data() + countAt, static_cast<std::size_t>(out.size() - countAt));
        out.resize(countAt);
        out.append(ordered.bytes.data(), ordered.bytes.size());
    }
    char* block = allocate(static_cast<std::size_t>(out.size()));
    std::memcpy(block + 4, out.data(), static_cast<std::size_t>(out.size()));
    release();
    m_block = block;
    return true;
}

bool ItemTexts::operator==(const ItemTexts& other) const noexcept {
    // Compared as QStrings would be: a null text equals an empty one.
    if (m_block == other.m_block) {
        return true;
    }
    const Layout a = layout();
    const Layout b = other.layout();
    const auto fingerprintBytes = [](const Layout& l) -> QByteArrayView {
        if (l.kind == kNoFingerprint) {
            return {};
        }
        if (l.kind == kTextFingerprint) {
            return runView(l.fingerprint);
        }
        return QByteArrayView(l.fingerprint - 1, l.description - l.fingerprint + 1);
    };
    const auto descriptionBytes = [](const Layout& l) -> QByteArrayView {
        return l.description != nullptr ? runView(l.description) : QByteArrayView();
    };
    if (a.kind != b.kind && (a.kind == kUuidFingerprint || b.kind == kUuidFingerprint)) {
        return false;
    }
    if (fingerprintBytes(a) != fingerprintBytes(b) || descriptionBytes(a) != descriptionBytes(b)) {
        return false;
    }
    const char* pa = a.texts;
    const char* pb = b.texts;
    const std::uint8_t na = pa != nullptr ? static_cast<std::uint8_t>(*pa++) : 0;
    const std::uint8_t nb = pb != nullptr ? static_cast<std::uint8_t>(*pb++) : 0;
    if (na != nb) {
        return false;
    }
    for (std::uint8_t i = 0; i < na; ++i) {
        if (*pa != *pb || runView(pa + 1) != runView(pb + 1)) {
            return false;
        }
        pa += 1 + runSize(pa + 1);
        pb += 1 + runSize(pb + 1);
    }
    return true;
}

} // namespace keskor
