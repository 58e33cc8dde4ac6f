#include "core/shared/PassFile.h"

#include "core/shared/CommonException.h"
#include "core/shared/KeyHelper.h"
#include "core/shared/PassFileCodec.h"
#include "testing/SampleDatabase.h"

#include <gtest/gtest.h>
#include <sodium.h>

using namespace keskor;
using keskor::testing::SampleDatabase;

namespace {

Credentials passwordOnly(const QString& pw) {
    return Credentials(pw, std::nullopt);
}

QString messageOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const CommonException& e) {
        return e.message();
    }
    return QStringLiteral("<no exception>");
}

class PassFileTest : public ::testing::Test {
protected:
    KeyHelper keys;
    PassFile file = SampleDatabase::full();
    Credentials creds = passwordOnly(QStringLiteral("correct horse battery staple"));
    Key256 key = keys.keyFromCredentials(file, creds);
    QByteArray text = file.getData(key);

    // The first entry (not folder) of the sample's "Banking" folder.
    static std::shared_ptr<Info2Item> firstEntry(const PassFile& f) {
        for (const auto& item : f.items().front()->subItems()) {
            if (!item->isFolder) {
                return item;
            }
        }
        return nullptr;
    }

    PassFile loadWith(const QByteArray& data, const Credentials& c) {
        PassFile header;
        header.load(data, nullptr, true);
        const Key256 k = keys.keyFromCredentials(header, c);
        PassFile loaded;
        loaded.load(data, &k, false);
        loaded.setModified(false);
        loaded.postLoad();
        return loaded;
    }
};

TEST_F(PassFileTest, RoundTripKeepsEveryFieldOfEveryEntryKind) {
    const PassFile loaded = loadWith(text, creds);
    EXPECT_TRUE(loaded.sameContent(file));
    EXPECT_EQ(loaded.itemCount(), file.itemCount());
    // Spot checks that sameContent itself compares what matters.
    const auto original = firstEntry(file);
    ASSERT_TRUE(original);
    const auto copy = loaded.findItem(original->fingerprint());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->password(), original->password());
    EXPECT_EQ(copy->history().size(), 2u);
    EXPECT_EQ(copy->attachments(), original->attachments());
    EXPECT_EQ(copy->parent()->fingerprint(), original->parent()->fingerprint());
    EXPECT_EQ(loaded.ignoredUrls(), QStringList{QStringLiteral("https://ignored.example")});
    // Each save seals with a fresh nonce and still reads back.
    EXPECT_NE(file.getData(key), text);
    EXPECT_TRUE(loadWith(file.getData(key), creds).sameContent(file));
}

TEST_F(PassFileTest, SameContentNoticesAChangedNestedField) {
    PassFile changed = file;
    const auto entry = firstEntry(changed);
    ASSERT_TRUE(entry && entry->tans().size() > 1);
    entry->mutableTans()[1].amount = 1.0;
    EXPECT_FALSE(changed.sameContent(file));
    EXPECT_TRUE(PassFile(file).sameContent(file));
}

TEST_F(PassFileTest, AbsentAndEmptyTextsStayApart) {
    auto e = Info2Item::create(1, QStringLiteral("x"));
    e->setComment(QString(""));
    e->setUserName(std::nullopt);
    file.addItem(e);
    const PassFile loaded = loadWith(file.getData(key), creds);
    const auto copy = loaded.findItem(e->fingerprint());
    ASSERT_TRUE(copy);
    ASSERT_TRUE(copy->comment().has_value());
    EXPECT_TRUE(copy->comment()->isEmpty());
    EXPECT_FALSE(copy->userName().has_value());
}

// Bodies larger than one sealed chunk, compressed and not: every chunk must come back, and
// changing the chunk sequence (dropping the last, swapping two) must be noticed even when the
// checksum line is made to match.
class LargeBodyTest : public ::testing::TestWithParam<bool> {
protected:
    static QByteArray withFreshChecksum(QByteArray text) {
        const qsizetype bodyEnd =
            text.indexOf('\n', text.indexOf('\n', text.indexOf('\n') + 1) + 1);
        unsigned char sum[32];
        crypto_generichash(sum, sizeof sum,
                           reinterpret_cast<const unsigned char*>(text.constData()),
                           static_cast<unsigned long long>(bodyEnd + 1), nullptr, 0);
        text.truncate(bodyEnd + 1);
        text += "checksum:" + QByteArray(reinterpret_cast<const char*>(sum), 32).toHex() + "\n";
        return text;
    }
    static QByteArray bodyLine(const QByteArray& text, qsizetype* start) {
        const qsizetype a = text.indexOf('\n', text.indexOf('\n') + 1) + 1;
        *start = a;
        return text.mid(a, text.indexOf('\n', a) - a);
    }
};

TEST_P(LargeBodyTest, RoundTripsAndRefusesAChangedChunkSequence) {
    KeyHelper keys;
    PassFile file = SampleDatabase::large(GetParam() ? 12000 : 4000);
    file.compressed = GetParam();
    const Key256 key = keys.keyFromCredentials(file, passwordOnly(QStringLiteral("pw")));
    const QByteArray text = file.getData(key);
    qsizetype start = 0;
    const QByteArray body = bodyLine(text, &start);
    // Sealed chunks are 64 KiB plus a 17-byte tag; three of them are a whole number of base64
    // groups, so cutting there keeps the line valid base64.
    const qsizetype threeChunks = (64 * 1024 + 17) * 4;
    ASSERT_GT(body.size(), 2 * threeChunks) << "the sample must span several chunks";

    PassFile loaded;
    loaded.load(text, &key, false);
    EXPECT_TRUE(loaded.sameContent(file));
    EXPECT_EQ(loaded.compressed, GetParam());

    QByteArray truncated = text;
    truncated.replace(start, body.size(), body.left(threeChunks));
    PassFile target = SampleDatabase::full();
    const PassFile before = target;
    EXPECT_THROW(target.load(withFreshChecksum(truncated), &key, false), CommonException)
        << "the final chunk is missing";

    QByteArray swapped = text;
    const QByteArray first = body.mid(0, threeChunks), second = body.mid(threeChunks, threeChunks);
    ASSERT_EQ(second.size(), threeChunks);
    swapped.replace(start, 2 * threeChunks, second + first);
    EXPECT_THROW(target.load(withFreshChecksum(swapped), &key, false), CommonException);

    QByteArray flipped = text;
    flipped[start + body.size() - 10] = flipped[start + body.size() - 10] == 'A' ? 'B' : 'A';
    EXPECT_THROW(target.load(withFreshChecksum(flipped), &key, false), CommonException)
        << "a change in the last chunk";
    EXPECT_TRUE(target.sameContent(before));
}

INSTANTIATE_TEST_SUITE_P(Forms, LargeBodyTest, ::testing::Bool(), [](const auto& info) {
    return std::string(info.param ? "compressed" : "uncompressed");
});

TEST_F(PassFileTest, HeaderOnlyReadGivesWhatKeyDerivationNeedsAndNoItems) {
    PassFile header;
    header.load(text, nullptr, true);
    EXPECT_EQ(header.kdf(), file.kdf());
    EXPECT_EQ(header.authType(), file.authType());
    EXPECT_EQ(header.hint, file.hint);
    EXPECT_EQ(header.itemCount(), 0u);
    EXPECT_FALSE(header.hasBody());
    // Saving what was never loaded would replace a database with an empty one.
    EXPECT_THROW(header.getData(key), CommonException);
}

TEST_F(PassFileTest, WrongPasswordIsToldApartFromDamage) {
    const QString wrong = messageOf([&] { loadWith(text, passwordOnly(QStringLiteral("nope"))); });
    EXPECT_EQ(wrong, PassFileCodec::wrongCredentialsMessage());
    QByteArray damaged = text;
    damaged[damaged.indexOf('\n', damaged.indexOf('\n') + 1) + 20] ^= 0x01;
    EXPECT_EQ(messageOf([&] { loadWith(damaged, creds); }), PassFileCodec::damagedMessage());
}

TEST_F(PassFileTest, AFlippedByteAnywhereIsRefusedAndLeavesTheTargetUntouched) {
    // Every position of the magic and header, then a sample of the body and checksum.
    std::vector<qsizetype> positions;
    const qsizetype headerEnd = text.indexOf('\n', text.indexOf('\n') + 1);
    for (qsizetype i = 0; i <= headerEnd; ++i) {
        positions.push_back(i);
    }
    for (qsizetype i = headerEnd + 1; i < text.size(); i += 97) {
        positions.push_back(i);
    }
    positions.push_back(text.size() - 2);
    PassFile target = SampleDatabase::full();
    const PassFile before = target;
    for (const qsizetype pos : positions) {
        QByteArray broken = text;
        broken[pos] = static_cast<char>(broken[pos] ^ 0x20);
        EXPECT_THROW(target.load(broken, &key, false), CommonException) << "position " << pos;
    }
    EXPECT_TRUE(target.sameContent(before));
}

TEST_F(PassFileTest, TruncationAtAnyLineIsRefused) {
    // A lost final newline loses nothing and is accepted; any shorter text is refused.
    EXPECT_NO_THROW(PassFile().load(text.left(text.size() - 1), &key, false));
    for (const qsizetype length : {qsizetype(0), qsizetype(5), qsizetype(12), text.size() / 2,
                                   text.size() - 70, text.size() - 2}) {
        EXPECT_THROW(PassFile().load(text.left(length), &key, false), CommonException)
            << "length " << length;
    }
}

struct ForeignInput {
    const char* name;
    QByteArray bytes;
};

class ForeignFileTest : public ::testing::TestWithParam<ForeignInput> {};

TEST_P(ForeignFileTest, IsReportedAsNotADatabase) {
    PassFile f;
    const Key256 key;
    try {
        f.load(GetParam().bytes, &key, false);
        FAIL() << "accepted";
    } catch (const CommonException& e) {
        EXPECT_EQ(e.message(), PassFileCodec::notADatabaseMessage());
    }
    EXPECT_THROW(f.load(GetParam().bytes, nullptr, true), CommonException);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, ForeignFileTest,
    ::testing::Values(ForeignInput{"empty", QByteArray()},
                      ForeignInput{"zip", QByteArray("PK\x03\x04\x14\0\0\0", 8)},
                      ForeignInput{"xml", QByteArray("<?xml version=\"1.0\"?><KeePassFile/>")},
                      ForeignInput{"binary", QByteArray(4096, '\xff')},
                      ForeignInput{"magic without newline", QByteArray("KESKOR-DB/1")}),
    [](const auto& info) {
        QString n = QString::fromLatin1(info.param.name);
        n.replace(QLatin1Char(' '), QLatin1Char('_'));
        return n.toStdString();
    });

TEST(PassFileHeaderTest, HostileKdfParametersAreRefusedBeforeAnyDerivation) {
    PassFile f = SampleDatabase::full();
    KeyHelper keys;
    const Key256 k = keys.keyFromCredentials(f, Credentials(QStringLiteral("pw"), std::nullopt));
    QByteArray text = f.getData(k);
    const QByteArray memory = "\"memory\":" + QByteArray::number(qulonglong(f.kdf().memoryBytes));
    ASSERT_TRUE(text.contains(memory));
    text.replace(memory, "\"memory\":1099511627776");
    PassFile header;
    EXPECT_THROW(header.load(text, nullptr, true), CommonException);
}

TEST(PassFileCreateTest, AdvancedEncryptionUsesStrongerParametersAndEveryFileItsOwnSalt) {
    const PassFile a = PassFile::createNewFile(PassFile::FileType::Plain, std::nullopt,
                                               PassFile::AuthenticationType::Password, true);
    const PassFile b = PassFile::createNewFile(PassFile::FileType::Plain, std::nullopt,
                                               PassFile::AuthenticationType::Password, false);
    EXPECT_GT(a.kdf().memoryBytes, b.kdf().memoryBytes);
    EXPECT_TRUE(a.isAdvanceEncryption());
    EXPECT_NE(a.kdf().salt, b.kdf().salt);
    EXPECT_NE(a.fingerprint, b.fingerprint);
}

TEST(PassFileBodyTest, ADeeplyNestedTreeBeyondTheBoundIsRefusedNotOverflowed) {
    PassFile f = SampleDatabase::large(0);
    Info2Item* parent = &f.root();
    for (int i = 0; i < 400; ++i) {
        auto child = Info2Item::createFolder(QString::number(i));
        Info2Item* raw = child.get();
        parent->addSubItem(std::move(child));
        parent = raw;
    }
    const QByteArray body = PassFileCodec::serializeBody(f);
    PassFile target;
    EXPECT_THROW(PassFileCodec::parseBody(body, target), CommonException);
}

} // namespace
