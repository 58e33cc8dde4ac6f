// Feeds arbitrary bytes to the database reader. The first byte picks the path:
//   0: the bytes are the whole file text, read header-only and with the key;
//   1: the bytes are the body, sealed here as a writer would seal it, uncompressed;
//   2: the same, zstd-compressed first, so the body parser is reached through decompression;
//   3: the bytes are the compressed stream itself, so the decompressor sees hostile frames.
// A fuzzer cannot forge the checksum or the authentication, so paths 1 to 3 build a valid file
// around the bytes under a fixed key. Whatever loads must survive its own round trip.

#include "core/shared/CommonException.h"
#include "core/shared/PassFile.h"
#include "core/shared/PassFileCodec.h"
#include "fuzz/FixedKey.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <sodium.h>
#include <zstd.h>

using namespace keskor;

namespace {

constexpr qsizetype kChunk = 64 * 1024;

QByteArray sealedFile(const Key256& key, const QByteArray& plain, bool compressed) {
    crypto_secretstream_xchacha20poly1305_state state;
    QByteArray nonce(crypto_secretstream_xchacha20poly1305_HEADERBYTES, Qt::Uninitialized);
    crypto_secretstream_xchacha20poly1305_init_push(
        &state, reinterpret_cast<unsigned char*>(nonce.data()), key.data());
    static const char message[] = "keskor key check";
    unsigned char check[16];
    crypto_generichash(check, sizeof check, reinterpret_cast<const unsigned char*>(message),
                       sizeof message - 1, key.data(), Key256::Size);
    const QJsonObject header{
        {QStringLiteral("kdf"), QStringLiteral("argon2id")},
        {QStringLiteral("memory"), 8192},
        {QStringLiteral("passes"), 1},
        {QStringLiteral("salt"), QString::fromLatin1(QByteArray(16, 's').toBase64())},
        {QStringLiteral("cipher"), QStringLiteral("xchacha20poly1305-secretstream")},
        {QStringLiteral("nonce"), QString::fromLatin1(nonce.toBase64())},
        {QStringLiteral("check"),
         QString::fromLatin1(QByteArray(reinterpret_cast<char*>(check), 16).toBase64())},
        {QStringLiteral("auth"), 0},
        {QStringLiteral("compression"),
         compressed ? QStringLiteral("zstd") : QStringLiteral("none")}};
    QByteArray text = QByteArray(PassFileCodec::kMagic) + '\n' +
                      QJsonDocument(header).toJson(QJsonDocument::Compact) + '\n';
    const qsizetype chunks = std::max<qsizetype>(1, (plain.size() + kChunk - 1) / kChunk);
    QByteArray sealed;
    for (qsizetype i = 0; i < chunks; ++i) {
        const qsizetype length = std::min(kChunk, plain.size() - i * kChunk);
        QByteArray out(length + crypto_secretstream_xchacha20poly1305_ABYTES, Qt::Uninitialized);
        crypto_secretstream_xchacha20poly1305_push(
            &state, reinterpret_cast<unsigned char*>(out.data()), nullptr,
            reinterpret_cast<const unsigned char*>(plain.constData() + i * kChunk),
            static_cast<unsigned long long>(length),
            i == 0 ? reinterpret_cast<const unsigned char*>(text.constData()) : nullptr,
            i == 0 ? static_cast<unsigned long long>(text.size()) : 0,
            i == chunks - 1 ? crypto_secretstream_xchacha20poly1305_TAG_FINAL : 0);
        sealed += out;
    }
    text += sealed.toBase64() + '\n';
    unsigned char sum[32];
    crypto_generichash(sum, sizeof sum, reinterpret_cast<const unsigned char*>(text.constData()),
                       static_cast<unsigned long long>(text.size()), nullptr, 0);
    return text + "checksum:" + QByteArray(reinterpret_cast<char*>(sum), 32).toHex() + '\n';
}

QByteArray zstd(const QByteArray& data) {
    QByteArray out(
        static_cast<qsizetype>(ZSTD_compressBound(static_cast<std::size_t>(data.size()))),
        Qt::Uninitialized);
    const std::size_t n = ZSTD_compress(out.data(), static_cast<std::size_t>(out.size()),
                                        data.constData(), static_cast<std::size_t>(data.size()), 1);
    out.resize(ZSTD_isError(n) ? 0 : static_cast<qsizetype>(n));
    return out;
}

void roundTrip(const PassFile& loaded, const Key256& key) {
    PassFile again;
    try {
        again.load(loaded.getData(key), &key, false);
    } catch (const CommonException&) {
        fuzz::broken();
    }
    if (!again.sameContent(loaded)) {
        fuzz::broken();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const Key256& key = fuzz::fixedKey();
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1),
                           static_cast<qsizetype>(size - 1));
    QByteArray text;
    switch (data[0] % 4) {
    case 0:
        try {
            PassFile header;
            header.load(bytes, nullptr, true);
        } catch (const CommonException&) {
        }
        text = bytes;
        break;
    case 1:
        text = sealedFile(key, bytes, false);
        break;
    case 2:
        text = sealedFile(key, zstd(bytes), true);
        break;
    default:
        text = sealedFile(key, bytes, true);
        break;
    }
    PassFile file;
    try {
        file.load(text, &key, false);
    } catch (const CommonException&) {
        return 0;
    }
    roundTrip(file, key);
    return 0;
}
