#include "core/shared/PassFileCodec.h"

#include "core/shared/ByteReader.h"
#include "core/shared/ByteWriter.h"
#include "core/shared/CommonException.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <openssl/evp.h>
#include <sodium.h>
#define ZSTD_STATIC_LINKING_ONLY // custom allocators
#include <zstd.h>

namespace keskor {

namespace {

constexpr quint32 kBodyMagic = 0x4B534B42; // "KSKB"
constexpr quint32 kItemMagic = 0x4B534B49; // "KSKI"
constexpr int kMaxDepth = 200;
constexpr std::uint64_t kMaxKdfMemory = 4ull * 1024 * 1024 * 1024;
constexpr std::uint32_t kMaxKdfPasses = 64;
constexpr quint64 kMaxBodyBytes = 1ull * 1024 * 1024 * 1024;
constexpr std::size_t kCheckBytes = 16;
// The compressed body is sealed in chunks of this many bytes, so a reader never holds more than
// one chunk of it.
constexpr qsizetype kPlainChunk = 64 * 1024;
constexpr std::size_t kSealAbytes = crypto_secretstream_xchacha20poly1305_ABYTES;
constexpr qsizetype kSealedChunk = kPlainChunk + static_cast<qsizetype>(kSealAbytes);
constexpr qsizetype kBase64Piece = 4 * 8192;
const char kCipherName[] = "xchacha20poly1305-secretstream";
const char kChecksumPrefix[] = "checksum:";
const char kKeyCheckMessage[] = "keskor key check";

struct Damaged {};

// zstd keeps windows and job buffers of plaintext; they are wiped before they are freed.
void* wipedAlloc(void*, std::size_t size) {
    auto* block = static_cast<std::size_t*>(std::malloc(size + sizeof(std::max_align_t)));
    if (block == nullptr) {
        return nullptr;
    }
    *block = size;
    return reinterpret_cast<char*>(block) + sizeof(std::max_align_t);
}
void wipedFree(void*, void* address) {
    if (address != nullptr) {
        auto* block =
            reinterpret_cast<std::size_t*>(static_cast<char*>(address) - sizeof(std::max_align_t));
        secureWipe(block, *block + sizeof(std::max_align_t));
        std::free(block);
    }
}
constexpr ZSTD_customMem kWipedMemory{wipedAlloc, wipedFree, nullptr};

// ---- binary body -------------------------------------------------------------------------

class BodyWriter {
public:
    explicit BodyWriter(QByteArray* buffer) : m_s(*buffer) {}
    ByteWriter& s() { return m_s; }

    void optText(const std::optional<QString>& v) {
        m_s << v.has_value();
        if (v) {
            m_s << *v;
        }
    }
    template <typename List> void list(const List& values) {
        m_s << quint32(values.size());
        for (const auto& v : values) {
            m_s << v;
        }
    }
    void item(const Info2Item& it, bool withChildren) {
        it.textStore().writeHead(m_s);
        m_s << qint32(it.type) << it.isFolder << it.lastModified << it.expiryDate << it.created
            << it.lastAccessed << qint32(it.importance) << qint32(it.icon.index) << it.icon.custom
            << it.icon.image << it.secondEye << qint32(it.autoCompleteMethod) << it.doNotAddon
            << it.markAsSafe << it.safeMode << qint32(it.rndType) << qint32(it.usageCount)
            << it.isFavorite << it.isDeleted;
        it.textStore().writeTexts(m_s);
        list(it.customFields());
        list(it.additionalUrls());
        list(it.tans());
        list(it.attachments());
        list(it.accessPermissions());
        m_s << quint32(it.history().size());
        for (const Info2Item& version : it.history()) {
            item(version, false);
        }
        if (!withChildren) {
            m_s << quint32(0);
            return;
        }
        m_s << quint32(it.subItems().size());
        for (const auto& child : it.subItems()) {
            item(*child, true);
        }
    }

private:
    ByteWriter m_s;
};

class BodyReader {
public:
    explicit BodyReader(ByteReader& in) : m_s(in) {}
    ByteReader& s() { return m_s; }

    void check() {
        if (!m_s.ok()) {
            throw Damaged{};
        }
    }
    /// A count that cannot exceed what the rest of the body could hold.
    quint32 count(qint64 minBytesEach) {
        quint32 n = 0;
        m_s >> n;
        check();
        if (static_cast<qint64>(n) * minBytesEach > m_s.remaining()) {
            throw Damaged{};
        }
        return n;
    }
    std::optional<QString> optText() {
        bool present = false;
        m_s >> present;
        if (!present) {
            return std::nullopt;
        }
        QString v;
        m_s >> v;
        check();
        return v;
    }
    template <typename T> void listOf(QList<T>& out, quint32 n) {
        out.reserve(n);
        for (quint32 i = 0; i < n; ++i) {
            T v;
            m_s >> v;
            check();
            out.append(std::move(v));
        }
    }
    template <typename T> void list(QList<T>& out, qint64 minBytesEach) {
        listOf(out, count(minBytesEach));
    }
    /// An item's list, created only when the body has values for it: most entries have none.
    template <typename Get> void optionalList(Get&& get, qint64 minBytesEach) {
        if (const quint32 n = count(minBytesEach); n > 0) {
            listOf(get(), n);
        }
    }
    void item(Info2Item& it, int depth) {
        if (depth > kMaxDepth) {
            throw Damaged{};
        }
        const bool textsRead = it.mutableTextStore().read(m_s, [&] {
            qint32 type = 0, importance = 0, iconIndex = 0, autoComplete = 0, rndType = 0,
                   usage = 0;
            m_s >> type >> it.isFolder >> it.lastModified >> it.expiryDate >> it.created >>
                it.lastAccessed >> importance >> iconIndex >> it.icon.custom >> it.icon.image >>
                it.secondEye >> autoComplete >> it.doNotAddon >> it.markAsSafe >> it.safeMode >>
                rndType >> usage >> it.isFavorite >> it.isDeleted;
            check();
            it.type = type;
            it.importance = importance;
            it.icon.index = iconIndex;
            it.autoCompleteMethod = autoComplete;
            it.rndType = rndType;
            it.usageCount = usage;
        });
        if (!textsRead) {
            throw Damaged{};
        }
        optionalList(
            [&]() -> auto& { return it.mutableCustomFields(); }, 13);
        optionalList(
            [&]() -> auto& { return it.mutableAdditionalUrls(); }, 4);
        optionalList(
            [&]() -> auto& { return it.mutableTans(); }, 16 + 16);
        optionalList(
            [&]() -> auto& { return it.mutableAttachments(); }, 8 + 8 + 4);
        optionalList(
            [&]() -> auto& { return it.mutableAccessPermissions(); }, 40);
        if (const quint32 versions = count(64); versions > 0) {
            auto& history = it.mutableHistory();
            history.reserve(versions);
            for (quint32 i = 0; i < versions; ++i) {
                Info2Item version;
                item(version, depth + 1);
                history.push_back(std::move(version));
            }
        }
        const quint32 children = count(64);
        it.reserveSubItems(children);
        for (quint32 i = 0; i < children; ++i) {
            auto child = std::make_shared<Info2Item>();
            item(*child, depth + 1);
            it.addSubItem(std::move(child));
        }
    }

private:
    ByteReader& m_s;
};

// ---- compression -------------------------------------------------------------------------

/// Seals the body chunk by chunk and appends each sealed chunk to the text in base64, hashing
/// the text as it grows: no whole-body buffer is needed after the serialised plaintext, and the
/// base64 of whole chunks (a multiple of 3 bytes each) joins into the base64 of the whole line.
class ChunkSealer {
public:
    ChunkSealer(const Key256& key, QByteArray& text)
        : m_text(text),
          m_header(crypto_secretstream_xchacha20poly1305_HEADERBYTES, Qt::Uninitialized),
          m_plain(kPlainChunk, Qt::Uninitialized), m_sealed(kSealedChunk, Qt::Uninitialized) {
        crypto_secretstream_xchacha20poly1305_init_push(
            &m_state, reinterpret_cast<unsigned char*>(m_header.data()), key.data());
        crypto_generichash_init(&m_hash, nullptr, 0, 32);
    }
    ~ChunkSealer() {
        secureWipe(m_plain);
        secureWipe(&m_state, sizeof m_state);
    }
    ChunkSealer(const ChunkSealer&) = delete;
    ChunkSealer& operator=(const ChunkSealer&) = delete;

    const QByteArray& streamHeader() const { return m_header; }

    /// Lines 1 and 2 are in the text: they become the associated data of the first chunk.
    void begin() {
        m_aadLength = m_text.size();
        hashNew();
    }
    void add(const char* data, qsizetype size) {
        while (size > 0) {
            // A full chunk is sealed only once more follows: the last one carries FINAL.
            if (m_used == kPlainChunk) {
                seal(0);
            }
            const qsizetype n = std::min(size, kPlainChunk - m_used);
            std::memcpy(m_plain.data() + m_used, data, static_cast<std::size_t>(n));
            m_used += n;
            data += n;
            size -= n;
        }
    }
    /// Seals the last chunk, ends line 3 and returns the checksum of lines 1 to 3 in hex.
    QByteArray finish() {
        seal(crypto_secretstream_xchacha20poly1305_TAG_FINAL);
        m_text.append('\n');
        hashNew();
        unsigned char out[32];
        crypto_generichash_final(&m_hash, out, sizeof out);
        return QByteArray(reinterpret_cast<const char*>(out), sizeof out).toHex();
    }

private:
    void seal(unsigned char tag) {
        unsigned long long written = 0;
        const bool first = !m_started;
        crypto_secretstream_xchacha20poly1305_push(
            &m_state, reinterpret_cast<unsigned char*>(m_sealed.data()), &written,
            reinterpret_cast<const unsigned char*>(m_plain.constData()),
            static_cast<unsigned long long>(m_used),
            first ? reinterpret_cast<const unsigned char*>(m_text.constData()) : nullptr,
            first ? static_cast<unsigned long long>(m_aadLength) : 0, tag);
        m_started = true;
        secureWipe(m_plain.data(), static_cast<std::size_t>(m_used));
        m_used = 0;
        // Straight into the text (reserved for the whole body); the encoder adds a terminator,
        // which the resize drops again.
        const qsizetype at = m_text.size();
        const auto encoded = static_cast<qsizetype>((written + 2) / 3 * 4);
        m_text.resize(at + encoded + 1);
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(m_text.data() + at),
                        reinterpret_cast<const unsigned char*>(m_sealed.constData()),
                        static_cast<int>(written));
        m_text.resize(at + encoded);
        hashNew();
    }
    void hashNew() {
        crypto_generichash_update(
            &m_hash, reinterpret_cast<const unsigned char*>(m_text.constData()) + m_hashed,
            static_cast<unsigned long long>(m_text.size() - m_hashed));
        m_hashed = m_text.size();
    }

    QByteArray& m_text;
    QByteArray m_header;
    QByteArray m_plain;
    QByteArray m_sealed;
    crypto_secretstream_xchacha20poly1305_state m_state{};
    crypto_generichash_state m_hash{};
    qsizetype m_used = 0;
    qsizetype m_aadLength = 0;
    qsizetype m_hashed = 0;
    bool m_started = false;
};

/// Compresses `data` as one zstd frame that states its size, handing the output on piecewise.
void compressInto(const QByteArray& data, ChunkSealer& sink) {
    ZSTD_CCtx* context = ZSTD_createCCtx_advanced(kWipedMemory);
    if (context == nullptr) {
        throw CommonException(QStringLiteral("Could not compress the database."));
    }
    // Level 1: saving after every edit must stay fast, and the body is mostly short texts that
    // compress about as well at any level. A 256 KiB window keeps the reader's memory small.
    ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, 1);
    ZSTD_CCtx_setParameter(context, ZSTD_c_windowLog, 18);
    // Two workers compress while this thread seals and encodes what they have finished; a
    // library built without threads refuses the setting and compresses here.
    ZSTD_CCtx_setParameter(context, ZSTD_c_nbWorkers, 2);
    ZSTD_CCtx_setPledgedSrcSize(context, static_cast<unsigned long long>(data.size()));
    QByteArray out(static_cast<qsizetype>(ZSTD_CStreamOutSize()), Qt::Uninitialized);
    ZSTD_inBuffer in{data.constData(), static_cast<std::size_t>(data.size()), 0};
    std::size_t left = 0;
    do {
        ZSTD_outBuffer buffer{out.data(), static_cast<std::size_t>(out.size()), 0};
        left = ZSTD_compressStream2(context, &buffer, &in, ZSTD_e_end);
        if (ZSTD_isError(left)) {
            ZSTD_freeCCtx(context);
            secureWipe(out);
            throw CommonException(QStringLiteral("Could not compress the database."));
        }
        sink.add(out.constData(), static_cast<qsizetype>(buffer.pos));
    } while (left != 0);
    ZSTD_freeCCtx(context);
    secureWipe(out);
}

/// The sealed body line, opened chunk by chunk: base64 is decoded and each chunk is
/// authenticated and decrypted only when the reader needs its bytes.
class SealedSource : public ByteReader::Source {
public:
    SealedSource(QByteArrayView base64, const Key256& key, const QByteArray& streamHeader,
                 QByteArrayView associated)
        : m_base64(base64), m_associated(associated) {
        // Padding only at the very end, and whole groups: the pieces below are decoded one by
        // one, so the strictness of the whole line is checked here.
        const qsizetype padding = base64.indexOf('=');
        if (base64.size() % 4 != 0 || (padding >= 0 && padding < base64.size() - 2) ||
            (padding >= 0 && base64.size() - padding == 2 && base64.back() != '=')) {
            throw Damaged{};
        }
        const qint64 cipherBytes = base64.size() / 4 * 3 - (base64.endsWith("==")  ? 2
                                                            : base64.endsWith('=') ? 1
                                                                                   : 0);
        const qint64 chunks = (cipherBytes + kSealedChunk - 1) / kSealedChunk;
        m_plainSize = cipherBytes - chunks * static_cast<qint64>(kSealAbytes);
        if (chunks == 0 || m_plainSize < 0 ||
            crypto_secretstream_xchacha20poly1305_init_pull(
                &m_state, reinterpret_cast<const unsigned char*>(streamHeader.constData()),
                key.data()) != 0) {
            throw Damaged{};
        }
    }
    ~SealedSource() override {
        secureWipe(m_plain);
        secureWipe(&m_state, sizeof m_state);
    }
    SealedSource(const SealedSource&) = delete;
    SealedSource& operator=(const SealedSource&) = delete;

    qint64 size() const { return m_plainSize; }
    bool completed() const {
        return m_final && m_used == m_plain.size() && m_read == m_base64.size();
    }

    bool fill(QByteArray& out, qsizetype max) override {
        qsizetype given = 0;
        while (given < max) {
            if (m_used == m_plain.size() && !openNext()) {
                break;
            }
            const qsizetype n = std::min(max - given, m_plain.size() - m_used);
            out.append(m_plain.constData() + m_used, n);
            m_used += n;
            given += n;
        }
        return given > 0;
    }

private:
    bool openNext() {
        if (m_final) {
            return false;
        }
        // Decode whole base64 groups until one sealed chunk (or the rest) is at hand.
        // OpenSSL's block decoder is several times faster than QByteArray's and writes in
        // place. It skips blanks at either end and decodes padding as zero bytes: a piece that
        // yields fewer than 3 bytes per 4 characters was not clean base64 (padding sits only
        // at the end of the line, as the constructor checked).
        while (m_cipher.size() < kSealedChunk && m_read < m_base64.size()) {
            const qsizetype take = std::min<qsizetype>(kBase64Piece, m_base64.size() - m_read);
            const qsizetype at = m_cipher.size();
            m_cipher.resize(at + take / 4 * 3);
            const int decoded =
                EVP_DecodeBlock(reinterpret_cast<unsigned char*>(m_cipher.data() + at),
                                reinterpret_cast<const unsigned char*>(m_base64.data() + m_read),
                                static_cast<int>(take));
            if (decoded != take / 4 * 3) {
                return false;
            }
            m_read += take;
            if (m_read == m_base64.size()) {
                m_cipher.chop(m_base64.endsWith("==") ? 2 : m_base64.endsWith('=') ? 1 : 0);
            }
        }
        const qsizetype length = std::min<qsizetype>(kSealedChunk, m_cipher.size());
        if (length < static_cast<qsizetype>(kSealAbytes)) {
            return false;
        }
        secureWipe(m_plain);
        m_plain.resize(length - static_cast<qsizetype>(kSealAbytes));
        unsigned long long plainLength = 0;
        unsigned char tag = 0;
        const bool first = !m_started;
        if (crypto_secretstream_xchacha20poly1305_pull(
                &m_state, reinterpret_cast<unsigned char*>(m_plain.data()), &plainLength, &tag,
                reinterpret_cast<const unsigned char*>(m_cipher.constData()),
                static_cast<unsigned long long>(length),
                first ? reinterpret_cast<const unsigned char*>(m_associated.data()) : nullptr,
                first ? static_cast<unsigned long long>(m_associated.size()) : 0) != 0) {
            m_plain.clear();
            return false;
        }
        m_started = true;
        m_cipher.remove(0, length);
        m_final = tag == crypto_secretstream_xchacha20poly1305_TAG_FINAL;
        // A final chunk with more after it, or data that ends without one, is damage.
        if (m_final != (m_cipher.isEmpty() && m_read == m_base64.size())) {
            m_plain.clear();
            m_final = false;
            return false;
        }
        m_used = 0;
        return true;
    }

    QByteArrayView m_base64;
    QByteArrayView m_associated;
    crypto_secretstream_xchacha20poly1305_state m_state{};
    QByteArray m_cipher;
    QByteArray m_plain;
    qsizetype m_used = 0;
    qsizetype m_read = 0;
    qint64 m_plainSize = 0;
    bool m_started = false;
    bool m_final = false;
};

/// The decompressed body, produced piecewise from its compressed stream while it is parsed.
class ZstdSource : public ByteReader::Source {
public:
    explicit ZstdSource(ByteReader::Source& upstream)
        : m_upstream(upstream), m_stream(ZSTD_createDStream_advanced(kWipedMemory)) {
        // The frame states its content size; a frame without one, or one beyond the bound,
        // is refused before anything is allocated.
        m_upstream.fill(m_input, kPlainChunk);
        m_size =
            ZSTD_getFrameContentSize(m_input.constData(), static_cast<std::size_t>(m_input.size()));
        if (m_stream == nullptr || m_size == ZSTD_CONTENTSIZE_UNKNOWN ||
            m_size == ZSTD_CONTENTSIZE_ERROR || m_size > kMaxBodyBytes) {
            ZSTD_freeDStream(m_stream);
            throw Damaged{};
        }
    }
    ~ZstdSource() override {
        ZSTD_freeDStream(m_stream);
        secureWipe(m_input);
    }
    ZstdSource(const ZstdSource&) = delete;
    ZstdSource& operator=(const ZstdSource&) = delete;

    qint64 size() const { return static_cast<qint64>(m_size); }

    bool fill(QByteArray& out, qsizetype max) override {
        const qsizetype at = out.size();
        out.resize(at + max);
        ZSTD_outBuffer buffer{out.data() + at, static_cast<std::size_t>(max), 0};
        while (buffer.pos < buffer.size && !m_finished) {
            if (m_consumed == static_cast<std::size_t>(m_input.size())) {
                secureWipe(m_input);
                m_input.clear();
                m_consumed = 0;
                if (!m_upstream.fill(m_input, kSealedChunk)) {
                    break; // truncated frame
                }
            }
            ZSTD_inBuffer in{m_input.constData(), static_cast<std::size_t>(m_input.size()),
                             m_consumed};
            const std::size_t rc = ZSTD_decompressStream(m_stream, &buffer, &in);
            m_consumed = in.pos;
            if (ZSTD_isError(rc)) {
                break;
            }
            m_finished = rc == 0;
        }
        out.resize(at + static_cast<qsizetype>(buffer.pos));
        m_produced += buffer.pos;
        return buffer.pos > 0;
    }

    /// True when the frame ended exactly where the data did, with the size it announced.
    bool completed() {
        QByteArray rest;
        return m_finished && m_consumed == static_cast<std::size_t>(m_input.size()) &&
               !m_upstream.fill(rest, 1) && m_produced == m_size;
    }

private:
    ByteReader::Source& m_upstream;
    ZSTD_DStream* m_stream;
    QByteArray m_input;
    std::size_t m_consumed = 0;
    unsigned long long m_size = 0;
    unsigned long long m_produced = 0;
    bool m_finished = false;
};

/// Wipes a buffer of plaintext however the scope is left.
class WipeOnExit {
public:
    explicit WipeOnExit(QByteArray& bytes) : m_bytes(bytes) {}
    ~WipeOnExit() { secureWipe(m_bytes); }
    WipeOnExit(const WipeOnExit&) = delete;
    WipeOnExit& operator=(const WipeOnExit&) = delete;

private:
    QByteArray& m_bytes;
};

// ---- text layout -------------------------------------------------------------------------

struct Lines {
    QByteArrayView magic, header, body, checksum;
    qsizetype checkedLength = 0; // bytes covered by the checksum: lines 1 to 3 with newlines
};

Lines splitLines(const QByteArray& text) {
    Lines l;
    const qsizetype a = text.indexOf('\n');
    if (a < 0 || QByteArrayView(text.constData(), a) != QByteArrayView(PassFileCodec::kMagic)) {
        throw CommonException(PassFileCodec::notADatabaseMessage());
    }
    const qsizetype b = text.indexOf('\n', a + 1);
    if (b < 0) {
        throw Damaged{};
    }
    l.magic = QByteArrayView(text.constData(), a);
    l.header = QByteArrayView(text.constData() + a + 1, b - a - 1);
    const qsizetype c = text.indexOf('\n', b + 1);
    if (c >= 0) {
        l.body = QByteArrayView(text.constData() + b + 1, c - b - 1);
        l.checkedLength = c + 1;
        qsizetype d = text.indexOf('\n', c + 1);
        if (d < 0) {
            d = text.size();
        }
        l.checksum = QByteArrayView(text.constData() + c + 1, d - c - 1);
    }
    return l;
}

QByteArray keyCheck(const Key256& key) {
    unsigned char out[kCheckBytes];
    crypto_generichash(out, sizeof out, reinterpret_cast<const unsigned char*>(kKeyCheckMessage),
                       sizeof kKeyCheckMessage - 1, key.data(), Key256::Size);
    return QByteArray(reinterpret_cast<const char*>(out), sizeof out);
}

QByteArray checksumHex(const char* data, qsizetype size) {
    unsigned char out[32];
    crypto_generichash(out, sizeof out, reinterpret_cast<const unsigned char*>(data),
                       static_cast<unsigned long long>(size), nullptr, 0);
    return QByteArray(reinterpret_cast<const char*>(out), sizeof out).toHex();
}

QByteArray fromBase64Strict(QByteArrayView text) {
    auto result =
        QByteArray::fromBase64Encoding(text.toByteArray(), QByteArray::AbortOnBase64DecodingErrors);
    if (!result) {
        throw Damaged{};
    }
    return std::move(result.decoded);
}

struct Header {
    PassFile::KdfParameters kdf;
    QByteArray nonce;
    QByteArray check;
    int auth = 0;
    int fileType = 0;
    bool compressed = true;
    bool advanced = false;
    std::optional<QString> hint;
};

Header parseHeader(QByteArrayView line) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(line.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        throw Damaged{};
    }
    const QJsonObject o = doc.object();
    if (o.value(QLatin1String("kdf")).toString() != QLatin1String("argon2id") ||
        o.value(QLatin1String("cipher")).toString() != QLatin1String(kCipherName)) {
        throw CommonException(PassFileCodec::newerVersionMessage());
    }
    Header h;
    const double memory = o.value(QLatin1String("memory")).toDouble(-1);
    const double passes = o.value(QLatin1String("passes")).toDouble(-1);
    if (memory < crypto_pwhash_MEMLIMIT_MIN || memory > static_cast<double>(kMaxKdfMemory) ||
        passes < 1 || passes > kMaxKdfPasses) {
        throw Damaged{};
    }
    h.kdf.memoryBytes = static_cast<std::uint64_t>(memory);
    h.kdf.passes = static_cast<std::uint32_t>(passes);
    h.kdf.salt = fromBase64Strict(o.value(QLatin1String("salt")).toString().toLatin1());
    h.nonce = fromBase64Strict(o.value(QLatin1String("nonce")).toString().toLatin1());
    h.check = fromBase64Strict(o.value(QLatin1String("check")).toString().toLatin1());
    if (h.kdf.salt.size() != crypto_pwhash_SALTBYTES ||
        h.nonce.size() != crypto_secretstream_xchacha20poly1305_HEADERBYTES ||
        h.check.size() != static_cast<qsizetype>(kCheckBytes)) {
        throw Damaged{};
    }
    h.auth = o.value(QLatin1String("auth")).toInt(-1);
    if (h.auth < 0 || h.auth > 2) {
        throw Damaged{};
    }
    h.fileType = o.value(QLatin1String("fileType")).toInt(0);
    const QString compression = o.value(QLatin1String("compression")).toString();
    if (compression != QLatin1String("zstd") && compression != QLatin1String("none")) {
        throw CommonException(PassFileCodec::newerVersionMessage());
    }
    h.compressed = compression == QLatin1String("zstd");
    h.advanced = o.value(QLatin1String("advanced")).toBool(false);
    const QJsonValue hint = o.value(QLatin1String("hint"));
    if (hint.isString()) {
        h.hint = hint.toString();
    }
    return h;
}

QByteArray headerLine(const PassFile& file, const QByteArray& nonce, const QByteArray& check) {
    QJsonObject o;
    o.insert(QLatin1String("kdf"), QLatin1String("argon2id"));
    o.insert(QLatin1String("memory"), static_cast<qint64>(file.kdf().memoryBytes));
    o.insert(QLatin1String("passes"), static_cast<qint64>(file.kdf().passes));
    o.insert(QLatin1String("salt"), QString::fromLatin1(file.kdf().salt.toBase64()));
    o.insert(QLatin1String("cipher"), QLatin1String(kCipherName));
    o.insert(QLatin1String("nonce"), QString::fromLatin1(nonce.toBase64()));
    o.insert(QLatin1String("check"), QString::fromLatin1(check.toBase64()));
    o.insert(QLatin1String("auth"), static_cast<int>(file.authType()));
    o.insert(QLatin1String("fileType"), static_cast<int>(file.fileType()));
    o.insert(QLatin1String("compression"),
             file.compressed ? QLatin1String("zstd") : QLatin1String("none"));
    o.insert(QLatin1String("advanced"), file.isAdvanceEncryption());
    if (file.hint) {
        o.insert(QLatin1String("hint"), *file.hint);
    }
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

} // namespace

QString PassFileCodec::notADatabaseMessage() {
    return QStringLiteral("The file is not a Keskor database.");
}
QString PassFileCodec::damagedMessage() {
    return QStringLiteral("The database file is damaged and cannot be read.");
}
QString PassFileCodec::wrongCredentialsMessage() {
    return QStringLiteral("The master password or key file is wrong.");
}
QString PassFileCodec::newerVersionMessage() {
    return QStringLiteral("The database was written by a newer version of Keskor.");
}

QByteArray PassFileCodec::serializeBody(const PassFile& f) {
    QByteArray body;
    body.reserve(static_cast<qsizetype>(f.itemCount()) * 400 + 1024);
    BodyWriter w(&body);
    auto& s = w.s();
    s << kBodyMagic << kBodyVersion;
    s << f.encrypted << f.compressed;
    w.optText(f.krServer);
    s << f.serverTime << qint32(f.serverPort);
    w.optText(f.serverUser);
    s << f.offline << qint32(f.encType) << qint32(f.kdfType);
    w.optText(f.comments);
    s << f.lastSyncTime << f.lastExpiryCheck << f.lastModified << f.lastBackup << f.fingerprint
      << qint32(f.backupInterval);
    w.optText(f.backupPath);
    w.optText(f.backupServer);
    s << qint32(f.backupLocation) << f.lastShowEditPass << f.keepHistory << qint32(f.maxHistory);
    w.optText(f.serverId);
    s << f.currentUserId << quint32(f.userRights) << f.allowSaveAs << f.allowExport;
    w.list(f.ignoredUrls());
    s << quint32(f.items().size());
    for (const auto& item : f.items()) {
        w.item(*item, true);
    }
    return body;
}

void PassFileCodec::readBody(ByteReader& in, PassFile& f) {
    BodyReader r(in);
    auto& s = r.s();
    quint32 magic = 0;
    quint16 version = 0;
    s >> magic >> version;
    r.check();
    if (magic != kBodyMagic) {
        throw Damaged{};
    }
    if (version > kBodyVersion) {
        throw CommonException(newerVersionMessage());
    }
    qint32 port = 0, encType = 0, kdfType = 0, interval = 0, location = 0, maxHistory = 0;
    quint32 rights = 0;
    s >> f.encrypted >> f.compressed;
    f.krServer = r.optText();
    s >> f.serverTime >> port;
    f.serverUser = r.optText();
    s >> f.offline >> encType >> kdfType;
    f.comments = r.optText();
    s >> f.lastSyncTime >> f.lastExpiryCheck >> f.lastModified >> f.lastBackup >> f.fingerprint >>
        interval;
    f.backupPath = r.optText();
    f.backupServer = r.optText();
    s >> location >> f.lastShowEditPass >> f.keepHistory >> maxHistory;
    f.serverId = r.optText();
    s >> f.currentUserId >> rights >> f.allowSaveAs >> f.allowExport;
    r.check();
    f.serverPort = port;
    f.encType = encType;
    f.kdfType = kdfType;
    f.backupInterval = interval;
    f.backupLocation = location;
    f.maxHistory = maxHistory;
    f.userRights = rights;
    QStringList ignored;
    r.list(ignored, 4);
    f.setIgnoredUrls(std::move(ignored));
    const quint32 top = r.count(64);
    f.root().reserveSubItems(top);
    for (quint32 i = 0; i < top; ++i) {
        auto item = std::make_shared<Info2Item>();
        r.item(*item, 0);
        f.addItem(std::move(item));
    }
    r.check();
}

void PassFileCodec::parseBody(const QByteArray& body, PassFile& file) {
    // The body replaces everything but the values the cleartext header carries.
    PassFile parsed;
    parsed.m_fileType = file.m_fileType;
    parsed.m_authType = file.m_authType;
    parsed.m_advanced = file.m_advanced;
    parsed.m_kdf = file.m_kdf;
    parsed.m_hasBody = true;
    try {
        ByteReader in(body);
        readBody(in, parsed);
    } catch (const Damaged&) {
        throw CommonException(damagedMessage());
    }
    file = std::move(parsed);
}

QByteArray PassFileCodec::serializeItem(const Info2Item& item, bool withChildren) {
    QByteArray bytes;
    BodyWriter w(&bytes);
    w.s() << kItemMagic << kBodyVersion;
    w.item(item, withChildren);
    return bytes;
}

Info2Item PassFileCodec::parseItem(const QByteArray& bytes) {
    Info2Item item;
    try {
        ByteReader in(bytes);
        BodyReader r(in);
        quint32 magic = 0;
        quint16 version = 0;
        r.s() >> magic >> version;
        r.check();
        if (magic != kItemMagic) {
            throw Damaged{};
        }
        if (version > kBodyVersion) {
            throw CommonException(newerVersionMessage());
        }
        r.item(item, 0);
        r.check();
        if (in.remaining() != 0) {
            throw Damaged{};
        }
    } catch (const Damaged&) {
        throw CommonException(damagedMessage());
    }
    return item;
}

QByteArray PassFileCodec::encode(const PassFile& file, const Key256& key) {
    if (!file.hasBody()) {
        // Writing a header-only object would replace a database by an empty one.
        throw CommonException(QStringLiteral("The database is not loaded and cannot be saved."));
    }
    if (file.kdf().salt.size() != crypto_pwhash_SALTBYTES) {
        throw CommonException(QStringLiteral("The database has no key-derivation salt."));
    }
    ensureCryptoReady();
    QByteArray plain = serializeBody(file);
    WipeOnExit wipePlain(plain);

    QByteArray text;
    // Room for the base64 of the body as it is (compression only shrinks it) and the header.
    const qsizetype chunks = std::max<qsizetype>(1, (plain.size() + kPlainChunk - 1) / kPlainChunk);
    text.reserve((plain.size() + chunks * static_cast<qsizetype>(kSealAbytes)) / 3 * 4 + 4096);
    ChunkSealer sealer(key, text);
    text.append(kMagic).append('\n');
    text.append(headerLine(file, sealer.streamHeader(), keyCheck(key))).append('\n');
    // Chunks of the body, the last one tagged final; lines 1 and 2 are the associated data of
    // the first, so the header cannot be changed or swapped.
    sealer.begin();
    if (file.compressed) {
        compressInto(plain, sealer);
    } else {
        sealer.add(plain.constData(), plain.size());
    }
    const QByteArray sum = sealer.finish();
    text.append(kChecksumPrefix).append(sum).append('\n');
    text.squeeze(); // the room reserved for an uncompressed body
    return text;
}

void PassFileCodec::decode(const QByteArray& text, const Key256* key, bool headerOnly,
                           PassFile& file) {
    ensureCryptoReady();
    try {
        const Lines lines = splitLines(text);
        const Header h = parseHeader(lines.header);
        PassFile loaded;
        loaded.m_kdf = h.kdf;
        loaded.m_authType = static_cast<PassFile::AuthenticationType>(h.auth);
        loaded.m_fileType = static_cast<PassFile::FileType>(h.fileType);
        loaded.m_advanced = h.advanced;
        loaded.compressed = h.compressed;
        loaded.hint = h.hint;
        if (headerOnly) {
            file = std::move(loaded);
            return;
        }
        if (key == nullptr) {
            throw CommonException(wrongCredentialsMessage());
        }
        if (lines.checkedLength == 0 ||
            lines.checksum != QByteArrayView(QByteArray(kChecksumPrefix) +
                                             checksumHex(text.constData(), lines.checkedLength))) {
            throw Damaged{};
        }
        if (sodium_memcmp(h.check.constData(), keyCheck(*key).constData(), kCheckBytes) != 0) {
            throw CommonException(wrongCredentialsMessage());
        }
        // The body is opened, decompressed and parsed in one pass, a chunk at a time: its
        // plaintext never sits in memory as a whole.
        const qsizetype aadLength = lines.magic.size() + 1 + lines.header.size() + 1;
        SealedSource sealed(lines.body, *key, h.nonce, QByteArrayView(text.constData(), aadLength));
        if (h.compressed) {
            ZstdSource source(sealed);
            ByteReader in(source, source.size());
            readBody(in, loaded);
            if (!source.completed() || !sealed.completed()) {
                throw Damaged{};
            }
        } else {
            ByteReader in(sealed, sealed.size());
            readBody(in, loaded);
            if (in.remaining() != 0 || !sealed.completed()) {
                throw Damaged{};
            }
        }
        loaded.compressed = h.compressed;
        loaded.m_hasBody = true;
        file = std::move(loaded);
    } catch (const Damaged&) {
        throw CommonException(damagedMessage());
    }
}

} // namespace keskor
