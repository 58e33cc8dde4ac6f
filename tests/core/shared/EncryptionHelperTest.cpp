#include "core/shared/EncryptionHelper.h"

#include "core/shared/CommonException.h"

#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <sodium.h>
#include <zlib.h>

using namespace keskor;
using Type = EncryptionHelper::Type;

namespace {

QByteArray randomData(qsizetype size) {
    QByteArray out(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i) {
        out[i] = static_cast<char>(QRandomGenerator::global()->bounded(256));
    }
    return out;
}

QByteArray hmac(const QByteArray& key, const QByteArray& message) {
    return QMessageAuthenticationCode::hash(message, key, QCryptographicHash::Sha256);
}

class EncryptionTypeTest : public ::testing::TestWithParam<Type> {
protected:
    Key256 key = Key256::random();
    QByteArray ad = QByteArrayLiteral("header bytes");
};

TEST_P(EncryptionTypeTest, RoundTripsAnySizeWithAFreshNonceEveryTime) {
    for (const qsizetype size : {0, 1, 15, 16, 17, 1000, 1 << 20}) {
        const QByteArray plain = randomData(size);
        const QByteArray sealed = EncryptionHelper::encrypt(key.bytes(), plain, GetParam(), ad);
        EXPECT_EQ(sealed.size(), EncryptionHelper::encryptedSize(GetParam(), size)) << size;
        EXPECT_EQ(EncryptionHelper::decrypt(key.bytes(), sealed, GetParam(), ad), plain) << size;
    }
    const QByteArray plain("same text");
    EXPECT_NE(EncryptionHelper::encrypt(key.bytes(), plain, GetParam()),
              EncryptionHelper::encrypt(key.bytes(), plain, GetParam()));
}

TEST_P(EncryptionTypeTest, OtherAssociatedDataThrows) {
    const QByteArray sealed = EncryptionHelper::encrypt(key.bytes(), "secret", GetParam(), ad);
    EXPECT_THROW(EncryptionHelper::decrypt(key.bytes(), sealed, GetParam(), "other"),
                 CommonException);
    EXPECT_THROW(EncryptionHelper::decrypt(key.bytes(), sealed, GetParam()), CommonException);
}

TEST_P(EncryptionTypeTest, EveryFlippedOrMissingByteThrows) {
    const QByteArray sealed =
        EncryptionHelper::encrypt(key.bytes(), "0123456789abcdefXYZ", GetParam(), ad);
    for (qsizetype i = 0; i < sealed.size(); ++i) {
        QByteArray damaged = sealed;
        damaged[i] = static_cast<char>(damaged[i] ^ 0x01);
        EXPECT_THROW(EncryptionHelper::decrypt(key.bytes(), damaged, GetParam(), ad),
                     CommonException)
            << i;
        EXPECT_THROW(EncryptionHelper::decrypt(key.bytes(), sealed.left(i), GetParam(), ad),
                     CommonException)
            << i;
    }
}

TEST_P(EncryptionTypeTest, BadKeySizeIsRefusedWithoutShowingTheKey) {
    const QByteArray shortKey = QByteArray(31, 'k');
    try {
        EncryptionHelper::encrypt(SecureBytes::fromByteArray(shortKey), "x", GetParam());
        FAIL() << "accepted a 31-byte key";
    } catch (const CommonException& e) {
        EXPECT_FALSE(e.message().contains(QLatin1String("kkkk")));
    }
    const QByteArray sealed = EncryptionHelper::encrypt(key.bytes(), "x", GetParam());
    try {
        EncryptionHelper::decrypt(Key256::random().bytes(), sealed, GetParam());
        FAIL() << "decrypted under a wrong key";
    } catch (const CommonException& e) {
        const QByteArray keyBytes = key.bytes().toByteArray();
        EXPECT_FALSE(
            e.message().contains(QString::fromLatin1(keyBytes.toHex()), Qt::CaseInsensitive));
        EXPECT_FALSE(e.message().contains(QString::fromLatin1(keyBytes.toBase64())));
        EXPECT_FALSE(e.message().isEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(AllTypes, EncryptionTypeTest,
                         ::testing::Values(Type::xChaCha20Poly1305, Type::aes256Gcm,
                                           Type::aes256CbcHmacSha256),
                         [](const auto& info) {
                             return std::string(info.param == Type::xChaCha20Poly1305 ? "XChaCha"
                                                : info.param == Type::aes256Gcm       ? "Gcm"
                                                                                      : "CbcHmac");
                         });

// The layouts documented for server implementers, checked with independent code.
TEST(EncryptionLayoutTest, XChaChaIsNoncePrefixedLibsodiumOutput) {
    const Key256 key = Key256::random();
    const QByteArray ad("ad");
    const QByteArray sealed =
        EncryptionHelper::encrypt(key.bytes(), "layout", Type::xChaCha20Poly1305, ad);
    QByteArray plain(6, '\0');
    unsigned long long len = 0;
    const auto* s = reinterpret_cast<const unsigned char*>(sealed.constData());
    ASSERT_EQ(crypto_aead_xchacha20poly1305_ietf_decrypt(
                  reinterpret_cast<unsigned char*>(plain.data()), &len, nullptr, s + 24,
                  static_cast<unsigned long long>(sealed.size() - 24),
                  reinterpret_cast<const unsigned char*>(ad.constData()), 2, s, key.data()),
              0);
    EXPECT_EQ(plain, QByteArray("layout"));
}

TEST(EncryptionLayoutTest, CbcTagIsHmacOfHkdfSubkey) {
    const Key256 key = Key256::random();
    const QByteArray ad("twelve bytes");
    const QByteArray sealed =
        EncryptionHelper::encrypt(key.bytes(), "layout check", Type::aes256CbcHmacSha256, ad);
    // HKDF-SHA-256 (RFC 5869) with an empty salt: 64 bytes, second half is the MAC key.
    const QByteArray info("keskor.aes-256-cbc-hmac-sha-256.v1");
    const QByteArray prk = hmac(QByteArray(32, '\0'), key.bytes().toByteArray());
    const QByteArray t1 = hmac(prk, info + '\x01');
    const QByteArray t2 = hmac(prk, t1 + info + '\x02');
    QByteArray adBits(8, '\0');
    adBits[7] = static_cast<char>(ad.size() * 8);
    const QByteArray expected = hmac(t2, ad + sealed.left(sealed.size() - 32) + adBits);
    EXPECT_EQ(sealed.right(32), expected);
    EXPECT_EQ((sealed.size() - 16 - 32) % 16, 0);
}

TEST(EncryptionHelperTypeTest, RawValuesMapBack) {
    for (const Type t : {Type::xChaCha20Poly1305, Type::aes256Gcm, Type::aes256CbcHmacSha256}) {
        EXPECT_EQ(EncryptionHelper::typeFromRaw(static_cast<int>(t)), t);
    }
    EXPECT_FALSE(EncryptionHelper::typeFromRaw(3).has_value());
    EXPECT_FALSE(EncryptionHelper::typeFromRaw(-1).has_value());
}

// --- zlib ---------------------------------------------------------------------------------

QByteArray compressibleText() {
    QByteArray text;
    for (int i = 0; i < 5000; ++i) {
        text += "entry " + QByteArray::number(i) + " password=x\n";
    }
    return text;
}

QByteArray gzipOf(const QByteArray& data) {
    z_stream s{};
    EXPECT_EQ(deflateInit2(&s, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY), Z_OK);
    QByteArray out(static_cast<qsizetype>(deflateBound(&s, static_cast<uLong>(data.size()))), '\0');
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    s.avail_in = static_cast<uInt>(data.size());
    s.next_out = reinterpret_cast<Bytef*>(out.data());
    s.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&s, Z_FINISH), Z_STREAM_END);
    out.truncate(static_cast<qsizetype>(s.total_out));
    deflateEnd(&s);
    return out;
}

TEST(ZlibTest, RoundTripsAtEveryValidLevelAndRefusesOthers) {
    const QByteArray text = compressibleText();
    for (const int level : {-1, 0, 1, 6, 9}) {
        const QByteArray zipped = EncryptionHelper::zlibZipped(text, level);
        if (level != 0) {
            EXPECT_LT(zipped.size(), text.size() / 4) << level;
        }
        EXPECT_EQ(EncryptionHelper::zlibUnzipped(zipped), text) << level;
    }
    EXPECT_EQ(EncryptionHelper::zlibUnzipped(EncryptionHelper::zlibZipped(QByteArray())),
              QByteArray());
    const QByteArray random = randomData(300000);
    EXPECT_EQ(EncryptionHelper::zlibUnzipped(EncryptionHelper::zlibZipped(random, 9)), random);
    EXPECT_THROW(EncryptionHelper::zlibZipped("x", 10), CommonException);
    EXPECT_THROW(EncryptionHelper::zlibZipped("x", -2), CommonException);
}

TEST(ZlibTest, GzipInputIsRecognisedAndInflated) {
    const QByteArray text = compressibleText();
    const QByteArray gz = gzipOf(text);
    EXPECT_TRUE(EncryptionHelper::isGzipped(gz));
    EXPECT_FALSE(EncryptionHelper::isGzipped(EncryptionHelper::zlibZipped(text)));
    EXPECT_FALSE(EncryptionHelper::isGzipped(text));
    EXPECT_FALSE(EncryptionHelper::isGzipped(QByteArray("\x1f\x8b", 2)));
    EXPECT_FALSE(EncryptionHelper::isGzipped(QByteArray()));
    EXPECT_EQ(EncryptionHelper::zlibUnzipped(gz), text);
}

TEST(ZlibTest, DamagedInputThrows) {
    const QByteArray zipped = EncryptionHelper::zlibZipped(compressibleText());
    for (qsizetype n = 0; n < zipped.size(); n += 1 + n / 8) {
        EXPECT_THROW(EncryptionHelper::zlibUnzipped(zipped.left(n)), CommonException) << n;
    }
    QByteArray corrupted = zipped;
    corrupted[zipped.size() / 2] = static_cast<char>(corrupted[zipped.size() / 2] ^ 0xFF);
    EXPECT_THROW(EncryptionHelper::zlibUnzipped(corrupted), CommonException);
    QByteArray badChecksum = zipped;
    badChecksum[zipped.size() - 1] = static_cast<char>(badChecksum[zipped.size() - 1] ^ 0x01);
    EXPECT_THROW(EncryptionHelper::zlibUnzipped(badChecksum), CommonException);
    EXPECT_THROW(EncryptionHelper::zlibUnzipped(zipped + "tail"), CommonException);
    EXPECT_THROW(EncryptionHelper::zlibUnzipped("plain text, not zlib"), CommonException);
    EXPECT_THROW(EncryptionHelper::zlibUnzipped(gzipOf("abc").chopped(3)), CommonException);
}

TEST(ZlibTest, OutputAboveTheLimitIsRefused) {
    const QByteArray zeros(4 * 1024 * 1024, '\0');
    const QByteArray bomb = EncryptionHelper::zlibZipped(zeros, 9);
    EXPECT_LT(bomb.size(), 10 * 1024);
    EXPECT_THROW(EncryptionHelper::zlibUnzipped(bomb, 1024 * 1024), CommonException);
    EXPECT_EQ(EncryptionHelper::zlibUnzipped(bomb, zeros.size()).size(), zeros.size());
}

// --- settings protection ------------------------------------------------------------------

class SettingsProtectionTest : public ::testing::Test {
protected:
    EncryptionHelper helper{Key256::random()};
};

TEST_F(SettingsProtectionTest, RoundTripsAsBase64WithAFreshNonce) {
    const QRegularExpression base64(QStringLiteral("^[A-Za-z0-9+/]+=*$"));
    for (const QString& value : {QString(), QStringLiteral("bridge-pw"),
                                 QStringLiteral("Pässwörd 🔐 密码"), QString(5000, QChar('z'))}) {
        const QString enc = helper.getEnc(value);
        EXPECT_TRUE(base64.match(enc).hasMatch()) << enc.toStdString();
        EXPECT_FALSE(!value.isEmpty() && enc.contains(value));
        EXPECT_EQ(helper.getDec(enc), value);
    }
    EXPECT_NE(helper.getEnc(QStringLiteral("pw")), helper.getEnc(QStringLiteral("pw")));
}

TEST_F(SettingsProtectionTest, OtherKeyOrGarbageGivesNothing) {
    const QString enc = helper.getEnc(QStringLiteral("pw"));
    EXPECT_FALSE(EncryptionHelper(Key256::random()).getDec(enc).has_value());

    QString changed = enc;
    changed[10] = changed[10] == QChar('A') ? QChar('B') : QChar('A');
    const QString validBase64Garbage =
        QString::fromLatin1(QByteArray("\x01" + randomData(60)).toBase64());
    for (const QString& bad :
         {QString(), QStringLiteral("pw"), QStringLiteral("not base64 !"), QStringLiteral("AQ=="),
          enc.left(enc.size() - 4), changed, validBase64Garbage, QStringLiteral("ä") + enc,
          QString::fromLatin1(
              QByteArray("\x02" + QByteArray::fromBase64(enc.toLatin1()).mid(1)).toBase64())}) {
        EXPECT_FALSE(helper.getDec(bad).has_value()) << bad.toStdString();
    }
}

} // namespace
