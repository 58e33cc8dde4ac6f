#include "core/shared/KeyHelper.h"

#include "core/shared/CommonException.h"
#include "core/shared/LMDKey.h"
#include "testing/SampleDatabase.h"

#include <gtest/gtest.h>

using namespace keskor;
using keskor::testing::SampleDatabase;

namespace {

PassFile fastFile(PassFile::AuthenticationType type) {
    PassFile f = PassFile::createNewFile(PassFile::FileType::Plain, std::nullopt, type, false);
    f.setKdfParameters(SampleDatabase::kFastKdfMemory, SampleDatabase::kFastKdfPasses);
    return f;
}

TEST(KeyHelperCacheTest, SecondDerivationComesFromTheCache) {
    KeyHelper keys;
    const PassFile f = fastFile(PassFile::AuthenticationType::Password);
    const Credentials c(QStringLiteral("secret"), std::nullopt);
    const Key256 first = keys.keyFromCredentials(f, c);
    const Key256 second =
        keys.keyFromCredentials(f, Credentials(QStringLiteral("secret"), std::nullopt));
    EXPECT_EQ(first, second);
    EXPECT_EQ(keys.kdfRuns(), 1);
    EXPECT_EQ(KeyHelper().keyFromCredentials(f, c), first) << "the same key in another session";
}

TEST(KeyHelperCacheTest, NewPasswordKeyFileOrSaltDeriveAfresh) {
    KeyHelper keys;
    PassFile f = fastFile(PassFile::AuthenticationType::PasswordAndKeyFile);
    const Key256 keyFile = KeyHelper::parseExternalKey(KeyHelper::generateExternalKey());
    const Key256 otherKeyFile = KeyHelper::parseExternalKey(KeyHelper::generateExternalKey());
    const Key256 base = keys.keyFromCredentials(f, Credentials(QStringLiteral("pw"), keyFile));
    const Key256 otherPw = keys.keyFromCredentials(f, Credentials(QStringLiteral("pw2"), keyFile));
    const Key256 otherKf =
        keys.keyFromCredentials(f, Credentials(QStringLiteral("pw"), otherKeyFile));
    f.renewSalt();
    const Key256 otherSalt = keys.keyFromCredentials(f, Credentials(QStringLiteral("pw"), keyFile));
    EXPECT_EQ(keys.kdfRuns(), 4);
    EXPECT_FALSE(base == otherPw);
    EXPECT_FALSE(base == otherKf);
    EXPECT_FALSE(base == otherSalt);
    keys.clearCache();
    EXPECT_EQ(keys.keyFromCredentials(f, Credentials(QStringLiteral("pw"), keyFile)), otherSalt);
    EXPECT_EQ(keys.kdfRuns(), 5);
}

TEST(KeyHelperCredentialsTest, MissingPartsOfTheAuthenticationTypeAreNamed) {
    KeyHelper keys;
    const Key256 kf = KeyHelper::parseExternalKey(KeyHelper::generateExternalKey());
    EXPECT_THROW(keys.keyFromCredentials(fastFile(PassFile::AuthenticationType::KeyFile),
                                         Credentials(QStringLiteral("pw"), std::nullopt)),
                 CommonException);
    EXPECT_THROW(keys.keyFromCredentials(fastFile(PassFile::AuthenticationType::PasswordAndKeyFile),
                                         Credentials(std::nullopt, kf)),
                 CommonException);
    EXPECT_NO_THROW(keys.keyFromCredentials(fastFile(PassFile::AuthenticationType::KeyFile),
                                            Credentials(std::nullopt, kf)));
}

TEST(KeyHelperCredentialsTest, IsSameComparesBothParts) {
    const Key256 kf = KeyHelper::parseExternalKey(KeyHelper::generateExternalKey());
    EXPECT_TRUE(Credentials::isSame(Credentials(QStringLiteral("a"), kf),
                                    Credentials(QStringLiteral("a"), kf)));
    EXPECT_FALSE(Credentials::isSame(Credentials(QStringLiteral("a"), kf),
                                     Credentials(QStringLiteral("a"), std::nullopt)));
    EXPECT_FALSE(Credentials::isSame(Credentials(QStringLiteral("a"), std::nullopt),
                                     Credentials(QStringLiteral("b"), std::nullopt)));
    EXPECT_FALSE(Credentials::isSame(Credentials(QString(), std::nullopt),
                                     Credentials(std::nullopt, std::nullopt)));
}

TEST(KeyFileTest, GeneratedFileParsesBackToTheSameKeyEachTimeAndKeysDiffer) {
    const QByteArray text = KeyHelper::generateExternalKey();
    EXPECT_TRUE(text.startsWith(KeyHelper::kKeyFileVersionLine));
    EXPECT_EQ(KeyHelper::parseExternalKey(text), KeyHelper::parseExternalKey(text));
    EXPECT_FALSE(KeyHelper::parseExternalKey(text) ==
                 KeyHelper::parseExternalKey(KeyHelper::generateExternalKey()));
    // Windows line ends and surrounding blank lines are tolerated.
    QByteArray crlf = text;
    crlf.replace("\n", "\r\n");
    EXPECT_EQ(KeyHelper::parseExternalKey("\n" + crlf + "\n"), KeyHelper::parseExternalKey(text));
}

class KeyFileRejectTest : public ::testing::TestWithParam<QByteArray> {};

TEST_P(KeyFileRejectTest, ForeignOrDamagedKeyFilesAreRefused) {
    EXPECT_THROW(KeyHelper::parseExternalKey(GetParam()), CommonException);
}

QByteArray withFlippedKeyChar() {
    QByteArray text = KeyHelper::generateExternalKey();
    const qsizetype pos = text.indexOf('\n') + 3;
    text[pos] = text[pos] == 'A' ? 'B' : 'A';
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, KeyFileRejectTest,
    ::testing::Values(
        QByteArray(), QByteArray("KESKOR-KEYFILE/1\n"),
        QByteArray("KESKOR-KEYFILE/2\n") + KeyHelper::generateExternalKey().split('\n')[1],
        QByteArray("KESKOR-KEYFILE/1\n!!!not base64!!!"),
        QByteArray("KESKOR-KEYFILE/1\n") + QByteArray(32, 'k').toBase64(), withFlippedKeyChar(),
        QByteArray(100000, 'A'),
        QByteArray("<?xml version=\"1.0\"?><KeyFile><Key><Data>abc</Data></Key></KeyFile>")));

TEST(LMDKeyTest, KeysAreBoundToKeyAndMessage) {
    const Key256 a = Key256::random();
    EXPECT_EQ(LMDKey::generateLMDKey(a, "m"), LMDKey::generateLMDKey(a, "m"));
    EXPECT_FALSE(LMDKey::generateLMDKey(a, "m") == LMDKey::generateLMDKey(a, "n"));
    EXPECT_FALSE(LMDKey::generateLMDKey(a, "m") == LMDKey::generateLMDKey(Key256::random(), "m"));
    EXPECT_EQ(KeyHelper::getDefaultLMDKey(), KeyHelper::getDefaultLMDKey());
    const Credentials c(QStringLiteral("pw"), std::nullopt);
    EXPECT_EQ(KeyHelper::LMDKeyFrom(c),
              KeyHelper::LMDKeyFrom(Credentials(QStringLiteral("pw"), std::nullopt)));
    EXPECT_FALSE(KeyHelper::LMDKeyFrom(c) == KeyHelper::getDefaultLMDKey());
}

} // namespace
