// KDBX 4 and 3.1 import of files written by keepassxc-cli (tests/data/kdbx/make-fixtures.sh): every
// cipher and key derivation gives the same tree, and the files that must be refused are
// refused with the reason.

#include "tools/KdbxImporter.h"

#include "core/shared/CommonException.h"
#include "tests/support/QtPrinters.h"

#include <QFile>
#include <QtEndian>
#include <functional>
#include <gtest/gtest.h>

namespace keskor {
namespace {

using namespace Qt::Literals::StringLiterals;

const QString kPassword = u"fixture-Pass"_s;

QByteArray fixture(const char* name) {
    QFile file(QStringLiteral(KESKOR_SOURCE_DIR "/tests/data/kdbx/") + QString::fromLatin1(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

const Info2Item* child(const std::vector<std::shared_ptr<Info2Item>>& items, const QString& name) {
    for (const auto& item : items) {
        if (item->description() == name) {
            return item.get();
        }
    }
    return nullptr;
}

struct Fixture {
    const char* file;
    const char* keyFile;
};
void PrintTo(const Fixture& f, std::ostream* os) {
    *os << f.file;
}

class KdbxImporterFixtureTest : public ::testing::TestWithParam<Fixture> {};

TEST_P(KdbxImporterFixtureTest, GivesTheTreeKeePassXcSaved) {
    const QByteArray keyFile = GetParam().keyFile ? fixture(GetParam().keyFile) : QByteArray();
    const ImportedItems imported = KdbxImporter::read(fixture(GetParam().file), kPassword,
                                                      GetParam().keyFile ? &keyFile : nullptr);
    EXPECT_EQ(imported.folderCount, 1u);
    EXPECT_EQ(imported.entryCount, 2u);
    const Info2Item* bank = child(imported.items, u"Bank"_s);
    ASSERT_NE(bank, nullptr);
    EXPECT_EQ(bank->userName(), u"müller"_s);
    EXPECT_EQ(bank->password(), u"Zürich-42"_s);

    const Info2Item* mail = child(imported.items, u"Mail"_s);
    ASSERT_NE(mail, nullptr);
    ASSERT_TRUE(mail->isFolder);
    const Info2Item* gmail = child(mail->subItems(), u"Gmail"_s);
    ASSERT_NE(gmail, nullptr);
    EXPECT_EQ(gmail->password(), u"S3cret-<pw>&\"x\""_s);
    EXPECT_EQ(gmail->userName(), u"ann@example.com"_s);
    EXPECT_EQ(gmail->url(), u"https://mail.example"_s);
    EXPECT_EQ(gmail->comment(), u"two\nlines"_s);
    ASSERT_EQ(gmail->attachments().size(), 1);
    EXPECT_EQ(gmail->attachments()[0].fileName, u"scan.bin"_s);
    QByteArray scan;
    for (int i = 0; i < 300; ++i) {
        scan += static_cast<char>((i * 37) % 256);
    }
    EXPECT_EQ(gmail->attachments()[0].data, scan);
    // KDBX 4 times are seconds since year 1; all of these were saved in this decade.
    EXPECT_GT(gmail->created, 45000.0);
    EXPECT_LT(gmail->created, 50000.0);
}

INSTANTIATE_TEST_SUITE_P(KeePassXc, KdbxImporterFixtureTest,
                         ::testing::Values(Fixture{"argon2d-aes.kdbx", nullptr},
                                           Fixture{"argon2id-chacha20.kdbx", nullptr},
                                           Fixture{"aeskdf-aes.kdbx", nullptr},
                                           Fixture{"aeskdf31-aes.kdbx", nullptr},
                                           Fixture{"keyfile-argon2d.kdbx", "keyfile.keyx"}),
                         [](const auto& info) {
                             QString name =
                                 QString::fromLatin1(info.param.file).section(u'.', 0, 0);
                             return name.remove(u'-').toStdString();
                         });

struct BadFile {
    const char* name;
    std::function<void(QByteArray& file, QString& password, QByteArray& keyFile)> spoil;
    const char* expected;
    const char* file = "keyfile-argon2d.kdbx";
};
void PrintTo(const BadFile& c, std::ostream* os) {
    *os << c.name;
}

/// The offset of the 8-byte value of a UInt64 entry `key` in the header's KDF parameters.
qsizetype kdfNumber(const QByteArray& file, char key) {
    const qsizetype at =
        file.indexOf(QByteArray("\x05\x01\0\0\0", 5) + key + QByteArray("\x08\0\0\0", 4));
    EXPECT_GT(at, 0);
    return at + 10;
}

class KdbxImporterBadFileTest : public ::testing::TestWithParam<BadFile> {};

TEST_P(KdbxImporterBadFileTest, IsRefusedWithTheReason) {
    QByteArray file = fixture(GetParam().file);
    QString password = kPassword;
    QByteArray keyFile = fixture("keyfile.keyx");
    GetParam().spoil(file, password, keyFile);
    try {
        KdbxImporter::read(file, password, keyFile.isEmpty() ? nullptr : &keyFile);
        FAIL() << "accepted";
    } catch (const CommonException& e) {
        EXPECT_TRUE(e.message().startsWith(QString::fromUtf8(GetParam().expected)))
            << e.message().toStdString();
        EXPECT_FALSE(e.message().contains(kPassword));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, KdbxImporterBadFileTest,
    ::testing::Values(
        BadFile{"WrongPassword",
                [](QByteArray&, QString& p, QByteArray&) { p = u"fixture-pass"_s; },
                "Wrong password or key file."},
        BadFile{"KeyFileMissing", [](QByteArray&, QString&, QByteArray& k) { k.clear(); },
                "Wrong password or key file."},
        BadFile{"KeyFileDamaged",
                [](QByteArray&, QString&, QByteArray& k) {
                    const qsizetype at = k.indexOf("Hash=\"") + 6;
                    k[at] = k[at] == '0' ? '1' : '0';
                },
                "The key file is damaged"},
        BadFile{"NotKdbx", [](QByteArray& f, QString&, QByteArray&) { f = "<KeePassFile/>"; },
                "This is not a KDBX file."},
        BadFile{"Kdbx2",
                [](QByteArray& f, QString&, QByteArray&) {
                    qToLittleEndian<quint32>(0x00020001, f.data() + 8);
                },
                "KDBX 2.1 files are not supported"},
        BadFile{"Kdbx31WrongPassword",
                [](QByteArray&, QString& p, QByteArray& k) {
                    p = u"fixture-pass"_s;
                    k.clear();
                },
                "Wrong password or key file.", "aeskdf31-aes.kdbx"},
        BadFile{"Kdbx31BodyChanged",
                [](QByteArray& f, QString&, QByteArray& k) {
                    f[f.size() - 200] ^= 1;
                    k.clear();
                },
                "The KDBX file is damaged: block 0 fails its hash check.", "aeskdf31-aes.kdbx"},
        BadFile{"Kdbx31Truncated",
                [](QByteArray& f, QString&, QByteArray& k) {
                    f.chop(5);
                    k.clear();
                },
                "The KDBX file is truncated.", "aeskdf31-aes.kdbx"},
        BadFile{"TruncatedHeader", [](QByteArray& f, QString&, QByteArray&) { f.truncate(60); },
                "The KDBX file is truncated."},
        BadFile{"TruncatedBody", [](QByteArray& f, QString&, QByteArray&) { f.chop(40); },
                "The KDBX file is truncated."},
        BadFile{"HeaderChanged",
                [](QByteArray& f, QString&, QByteArray&) { f[kdfNumber(f, 'I')] = 2; },
                "The KDBX file is damaged: its header does not match its checksum."},
        BadFile{"BodyChanged", [](QByteArray& f, QString&, QByteArray&) { f[f.size() - 100] ^= 1; },
                "The KDBX file is damaged: block 0 fails its HMAC check."},
        BadFile{"HugeMemory",
                [](QByteArray& f, QString&, QByteArray&) {
                    qToLittleEndian<quint64>(quint64(64) << 30, f.data() + kdfNumber(f, 'M'));
                },
                "The KDBX file's key derivation asks for 65536 MiB of memory"},
        BadFile{"EndlessIterations",
                [](QByteArray& f, QString&, QByteArray&) {
                    qToLittleEndian<quint64>(~quint64(0), f.data() + kdfNumber(f, 'I'));
                },
                "The KDBX file's key derivation asks for 18446744073709551615 iterations"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace keskor
