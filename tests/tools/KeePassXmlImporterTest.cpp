// KeePass 2 XML import: groups to folders under a flattened root, strings to entry fields and
// custom fields, times, tags and attachments, and the files that must be refused.

#include "tools/KeePassXmlImporter.h"

#include "core/shared/CommonException.h"
#include "core/shared/DateTimeHelper.h"
#include "core/shared/EncryptionHelper.h"
#include "tests/support/QtPrinters.h"

#include <QTimeZone>
#include <QtEndian>
#include <ctime>
#include <gtest/gtest.h>

namespace keskor {
namespace {

using namespace Qt::Literals::StringLiterals;

double utcDay(int y, int mo, int d, int h, int mi, int s) {
    return DateTimeHelper::toDelphiTime(
        QDateTime(QDate(y, mo, d), QTime(h, mi, s), QTimeZone::utc()));
}

const QByteArray kScan = QByteArray("%PDF-1.4 \0\1\2 scan", 18).repeated(40);

QByteArray sample() {
    return R"(<?xml version="1.0" encoding="utf-8" standalone="yes"?>
<KeePassFile>
	<Meta>
		<Generator>KeePass</Generator>
		<DatabaseName>Family</DatabaseName>
		<MemoryProtection><ProtectPassword>True</ProtectPassword></MemoryProtection>
		<Binaries>
			<Binary ID="0" Compressed="True">)" +
           EncryptionHelper::zlibZipped(kScan).toBase64() + R"(</Binary>
			<Binary ID="1">aGVsbG8=</Binary>
			<Binary ID="2" Compressed="True"/>
		</Binaries>
	</Meta>
	<Root>
		<Group>
			<UUID>AAAAAAAAAAAAAAAAAAAAAA==</UUID>
			<Name>Family</Name>
			<Entry>
				<UUID>AQEBAQEBAQEBAQEBAQEBAQ==</UUID>
				<IconID>0</IconID>
				<Tags>bank; money,  ,home</Tags>
				<Times>
					<CreationTime>2023-03-15T08:30:00Z</CreationTime>
					<LastModificationTime>2024-01-02T03:04:05Z</LastModificationTime>
					<LastAccessTime>2024-01-03T00:00:00Z</LastAccessTime>
					<ExpiryTime>2026-12-31T23:00:00Z</ExpiryTime>
					<Expires>True</Expires>
					<UsageCount>7</UsageCount>
				</Times>
				<String><Key>Notes</Key><Value>Zeile 1
Zeile 2 &lt;b&gt; &amp; "q"</Value></String>
				<String><Key>Password</Key><Value ProtectInMemory="True">p&lt;w"d ü</Value></String>
				<String><Key>PIN</Key><Value ProtectInMemory="True">1234</Value></String>
				<String><Key>Title</Key><Value>Bank – Zürich 世界</Value></String>
				<String><Key>URL</Key><Value>https://bank.example/?a=1&amp;b=2</Value></String>
				<String><Key>UserName</Key><Value>müller</Value></String>
				<String><Key>KP2A_URL_1</Key><Value>https://m.bank.example</Value></String>
				<String><Key>Kundennummer</Key><Value>K-42</Value></String>
				<Binary><Key>scan.pdf</Key><Value Ref="0"/></Binary>
				<Binary><Key>hello.txt</Key><Value Ref="1"/></Binary>
				<Binary><Key>inline.bin</Key><Value>AP8=</Value></Binary>
				<Binary><Key>empty.txt</Key><Value Ref="2"/></Binary>
				<AutoType><Enabled>True</Enabled><DefaultSequence>{USERNAME}</DefaultSequence></AutoType>
				<History>
					<Entry><String><Key>Title</Key><Value>Old title</Value></String></Entry>
				</History>
			</Entry>
			<Group>
				<Name>E-Mail ✉</Name>
				<Notes>mail
accounts</Notes>
				<Times><CreationTime>2020-01-01T00:00:00Z</CreationTime></Times>
				<Entry>
					<Times><ExpiryTime>2025-01-01T00:00:00Z</ExpiryTime><Expires>False</Expires></Times>
					<String><Key>Title</Key><Value>Gmail</Value></String>
					<String><Key>Password</Key><Value ProtectInMemory="True"></Value></String>
					<String><Key>UserName</Key><Value></Value></String>
				</Entry>
				<Group>
					<Name>Work</Name>
					<Entry><String><Key>Title</Key><Value>Outlook</Value></String></Entry>
				</Group>
			</Group>
			<Group><Name>Empty</Name></Group>
		</Group>
		<DeletedObjects>
			<DeletedObject><UUID>AgICAgICAgICAgICAgICAg==</UUID><DeletionTime>2024-01-01T00:00:00Z</DeletionTime></DeletedObject>
		</DeletedObjects>
	</Root>
</KeePassFile>
)";
}

TEST(KeePassXmlImporterTest, GroupsBecomeFoldersUnderAFlattenedRoot) {
    const ImportedItems imported = KeePassXmlImporter::read(sample());
    EXPECT_EQ(imported.folderCount, 3u);
    EXPECT_EQ(imported.entryCount, 3u); // the history version is no entry
    ASSERT_EQ(imported.items.size(), 3u);
    EXPECT_FALSE(imported.items[0]->isFolder);
    EXPECT_EQ(imported.items[0]->description(), u"Bank – Zürich 世界"_s);

    const Info2Item& mail = *imported.items[1];
    EXPECT_TRUE(mail.isFolder);
    EXPECT_EQ(mail.description(), u"E-Mail ✉"_s);
    EXPECT_EQ(mail.comment(), u"mail\naccounts"_s);
    EXPECT_DOUBLE_EQ(mail.created, utcDay(2020, 1, 1, 0, 0, 0));
    ASSERT_EQ(mail.subItems().size(), 2u);
    EXPECT_EQ(mail.subItems()[0]->description(), u"Gmail"_s);
    const Info2Item& work = *mail.subItems()[1];
    EXPECT_TRUE(work.isFolder);
    EXPECT_EQ(work.parent(), &mail);
    ASSERT_EQ(work.subItems().size(), 1u);
    EXPECT_EQ(work.subItems()[0]->description(), u"Outlook"_s);

    EXPECT_EQ(imported.items[2]->description(), u"Empty"_s);
    EXPECT_TRUE(imported.items[2]->subItems().empty());
    for (const auto& item : imported.items) {
        EXPECT_EQ(item->parent(), nullptr);
    }
}

TEST(KeePassXmlImporterTest, StringsTimesTagsAndAttachmentsMapToTheEntry) {
    const ImportedItems imported = KeePassXmlImporter::read(sample());
    const Info2Item& bank = *imported.items.at(0);
    EXPECT_EQ(bank.type, Info2Item::TypePassword);
    EXPECT_EQ(bank.userName(), u"müller"_s);
    EXPECT_EQ(bank.password(), u"p<w\"d ü"_s);
    EXPECT_EQ(bank.url(), u"https://bank.example/?a=1&b=2"_s);
    EXPECT_EQ(bank.comment(), u"Zeile 1\nZeile 2 <b> & \"q\""_s);
    EXPECT_EQ(bank.text(ItemText::Tags), u"bank,money,home"_s);
    EXPECT_EQ(bank.additionalUrls(), QStringList{u"https://m.bank.example"_s});
    EXPECT_EQ(bank.customFields(),
              (QList<PswField>{PswField{u"PIN"_s, u"1234"_s, QString(), false},
                               PswField{u"Kundennummer"_s, u"K-42"_s, QString(), true}}));
    EXPECT_DOUBLE_EQ(bank.created, utcDay(2023, 3, 15, 8, 30, 0));
    EXPECT_DOUBLE_EQ(bank.lastModified, utcDay(2024, 1, 2, 3, 4, 5));
    EXPECT_DOUBLE_EQ(bank.lastAccessed, utcDay(2024, 1, 3, 0, 0, 0));
    EXPECT_DOUBLE_EQ(bank.expiryDate, utcDay(2026, 12, 31, 23, 0, 0));
    EXPECT_EQ(bank.usageCount, 7);
    EXPECT_TRUE(bank.history().empty());
    ASSERT_EQ(bank.attachments().size(), 4);
    EXPECT_EQ(bank.attachments()[0].fileName, u"scan.pdf"_s);
    EXPECT_EQ(bank.attachments()[0].data, kScan);
    EXPECT_EQ(bank.attachments()[1].data, QByteArray("hello"));
    EXPECT_EQ(bank.attachments()[2].data, QByteArray("\0\xff", 2));
    EXPECT_TRUE(bank.attachments()[3].data.isEmpty());

    const Info2Item& gmail = *imported.items.at(1)->subItems().at(0);
    EXPECT_EQ(gmail.password(), QString("")); // present though empty
    EXPECT_EQ(gmail.userName(), std::nullopt);
    EXPECT_EQ(gmail.expiryDate, 0.0); // Expires is False
    EXPECT_TRUE(gmail.customFields().isEmpty());
}

/// Runs the test body in a zone with daylight saving time, whatever the machine's zone is.
class ZoneGuard {
public:
    explicit ZoneGuard(const char* zone)
        : m_old(qgetenv("TZ")), m_had(qEnvironmentVariableIsSet("TZ")) {
        qputenv("TZ", zone);
        tzset();
    }
    ~ZoneGuard() {
        if (m_had) {
            qputenv("TZ", m_old);
        } else {
            qunsetenv("TZ");
        }
        tzset();
    }

private:
    QByteArray m_old;
    bool m_had;
};

TEST(KeePassXmlImporterTest, TimesAroundDaylightSavingChangesMatchTheLocalClock) {
    const ZoneGuard zone("Europe/Berlin");
    // Both sides of the spring and autumn changes of 2024, and dates years apart.
    const QList<QDateTime> moments = {
        QDateTime(QDate(2024, 3, 31), QTime(0, 59, 59), QTimeZone::utc()),
        QDateTime(QDate(2024, 3, 31), QTime(1, 0, 0), QTimeZone::utc()),
        QDateTime(QDate(2024, 10, 27), QTime(0, 59, 59), QTimeZone::utc()),
        QDateTime(QDate(2024, 10, 27), QTime(1, 0, 0), QTimeZone::utc()),
        QDateTime(QDate(1999, 7, 1), QTime(23, 30, 0), QTimeZone::utc()),
    };
    // Each moment twice: as text, and in the KDBX 4 form (seconds since 0001-01-01, base64).
    const QDateTime start(QDate(1, 1, 1), QTime(0, 0), QTimeZone::utc());
    QByteArray entries;
    for (const QDateTime& moment : moments) {
        QByteArray seconds(8, '\0');
        qToLittleEndian(start.secsTo(moment), seconds.data());
        for (const QByteArray& time :
             {moment.toString(u"yyyy-MM-ddTHH:mm:ss'Z'"_s).toLatin1(), seconds.toBase64()}) {
            entries += "<Entry><Times><CreationTime>" + time + "</CreationTime></Times></Entry>";
        }
    }
    const ImportedItems imported = KeePassXmlImporter::read("<KeePassFile><Root><Group>" + entries +
                                                            "</Group></Root></KeePassFile>");
    ASSERT_EQ(imported.items.size(), 2 * static_cast<std::size_t>(moments.size()));
    for (std::size_t i = 0; i < imported.items.size(); ++i) {
        EXPECT_DOUBLE_EQ(imported.items[i]->created, DateTimeHelper::toDelphiTime(moments[i / 2]))
            << moments[i / 2].toString(Qt::ISODate).toStdString() << (i % 2 ? " base64" : "");
    }
    // 02:00 local before the spring change, 03:00 after it.
    EXPECT_NEAR(imported.items[2]->created - imported.items[0]->created, 1.0 / 24, 1e-4);
}

TEST(KeePassXmlImporterTest, FurtherGroupsUnderRootBecomeTopFolders) {
    const ImportedItems imported =
        KeePassXmlImporter::read("<KeePassFile><Root><Group><Name>Main</Name><Entry/></Group>"
                                 "<Group><Name>Second</Name><Entry/></Group></Root></KeePassFile>");
    ASSERT_EQ(imported.items.size(), 2u);
    EXPECT_FALSE(imported.items[0]->isFolder);
    EXPECT_EQ(imported.items[1]->description(), u"Second"_s);
    EXPECT_EQ(imported.items[1]->subItems().size(), 1u);
}

QByteArray withPasswords(const QList<QByteArray>& protectedValues) {
    QByteArray entries;
    for (const QByteArray& value : protectedValues) {
        entries += "<Entry>\n<String><Key>Password</Key><Value Protected=\"True\">" + value +
                   "</Value></String></Entry>\n";
    }
    return "<?xml version=\"1.0\"?>\n<KeePassFile>\n<Meta/>\n<Root><Group>\n" + entries +
           "</Group></Root></KeePassFile>\n";
}

TEST(KeePassXmlImporterTest, EncryptedProtectedValuesAreRefused) {
    const QByteArray cipher1 = QByteArray("\x9f\x01\xfe\x80\x13\x55", 6).toBase64();
    const QByteArray cipher2 = QByteArray("\xc3\x28\x00\xa1", 4).toBase64();
    try {
        KeePassXmlImporter::read(withPasswords({cipher1, cipher2}));
        FAIL() << "accepted";
    } catch (const CommonException& e) {
        EXPECT_TRUE(e.message().startsWith(u"line 6: the values marked Protected=\"True\" are "
                                           "encrypted"_s))
            << e.message().toStdString();
        EXPECT_FALSE(e.message().contains(QString::fromLatin1(cipher1)));
    }
}

TEST(KeePassXmlImporterTest, PlainProtectedValuesAreTakenAsText) {
    // "Passw0rd" is valid base64 of non-text, but "hunter 2!" shows the values are plain.
    const ImportedItems imported =
        KeePassXmlImporter::read(withPasswords({"Passw0rd", "hunter 2!", ""}));
    ASSERT_EQ(imported.items.size(), 3u);
    EXPECT_EQ(imported.items[0]->password(), u"Passw0rd"_s);
    EXPECT_EQ(imported.items[1]->password(), u"hunter 2!"_s);
    // Base64 of readable text is no cipher either.
    const QByteArray readable = QByteArray("plain words").toBase64();
    EXPECT_EQ(KeePassXmlImporter::read(withPasswords({readable})).items.at(0)->password(),
              QString::fromLatin1(readable));
}

TEST(KeePassXmlImporterTest, ProgressIsReportedPerThousandItems) {
    QByteArray entries;
    for (int i = 0; i < 2500; ++i) {
        entries += "<Entry><String><Key>Title</Key><Value>e" + QByteArray::number(i) +
                   "</Value></String></Entry>\n";
    }
    const QByteArray xml = "<KeePassFile><Root><Group>" + entries + "</Group></Root></KeePassFile>";
    std::vector<qint64> done;
    const auto imported = KeePassXmlImporter::read(xml, [&](qint64 d, qint64 total) {
        EXPECT_EQ(total, xml.size());
        done.push_back(d);
    });
    EXPECT_EQ(imported.entryCount, 2500u);
    ASSERT_EQ(done.size(), 3u);
    EXPECT_LT(done[0], done[1]);
    EXPECT_EQ(done[2], xml.size());
}

QByteArray nestedGroups(int belowRoot) {
    QByteArray xml = "<KeePassFile>\n<Root>\n<Group>\n";
    for (int i = 0; i < belowRoot; ++i) {
        xml += "<Group><Name>g</Name>\n";
    }
    xml += "<Entry/>";
    for (int i = 0; i < belowRoot; ++i) {
        xml += "</Group>";
    }
    return xml + "</Group></Root></KeePassFile>";
}

TEST(KeePassXmlImporterTest, SixtyFourNestedGroupsAreAccepted) {
    const ImportedItems imported = KeePassXmlImporter::read(nestedGroups(64));
    EXPECT_EQ(imported.folderCount, 64u);
    EXPECT_EQ(imported.entryCount, 1u);
}

struct BadFile {
    const char* name;
    QByteArray xml;
    const char* expected;
};
void PrintTo(const BadFile& c, std::ostream* os) {
    *os << c.name;
}

class KeePassXmlImporterBadFileTest : public ::testing::TestWithParam<BadFile> {};

TEST_P(KeePassXmlImporterBadFileTest, RefusedWithTheLine) {
    try {
        KeePassXmlImporter::read(GetParam().xml);
        FAIL() << "accepted";
    } catch (const CommonException& e) {
        EXPECT_TRUE(e.message().startsWith(QString::fromUtf8(GetParam().expected)))
            << e.message().toStdString();
        EXPECT_FALSE(e.message().contains(u"s3cret"_s)) << e.message().toStdString();
    }
}

const QByteArray kOpen = "<?xml version=\"1.0\"?>\n<KeePassFile>\n<Root>\n<Group>\n";
const QByteArray kClose = "\n</Group>\n</Root>\n</KeePassFile>\n";

INSTANTIATE_TEST_SUITE_P(
    Files, KeePassXmlImporterBadFileTest,
    ::testing::Values(
        BadFile{"Empty", "", "The file is empty."},
        BadFile{"OtherRoot", "<?xml version=\"1.0\"?>\n<passwordfile/>",
                "line 2: this is not a KeePass 2 XML file"},
        BadFile{"Namespaced", "<KeePassFile xmlns=\"urn:other\"/>",
                "line 1: this is not a KeePass 2 XML file"},
        BadFile{"Doctype",
                "<?xml version=\"1.0\"?>\n\n<!DOCTYPE KeePassFile [<!ENTITY x \"s3cret\">]>\n"
                "<KeePassFile>&x;</KeePassFile>",
                "line 3: documents with a DOCTYPE are not accepted"},
        BadFile{"NoRoot", "<KeePassFile><Meta/></KeePassFile>",
                "The KeePass file holds no \"Root\" element."},
        BadFile{"Unclosed",
                kOpen + "<Entry>\n<String><Key>Password</Key><Value>s3cret</String></Entry>" +
                    kClose,
                "line 6: the file is not well-formed XML"},
        BadFile{"Truncated", kOpen + "<Entry>\n<String>", "line 6: the file is not well-formed"},
        BadFile{"BadExpires",
                kOpen + "<Entry><Times>\n<Expires>Sometimes</Expires></Times></Entry>" + kClose,
                "line 6: \"Expires\" is neither True nor False"},
        BadFile{"BadTime",
                kOpen + "<Entry><Times>\n\n<CreationTime>yesterday</CreationTime></Times></Entry>" +
                    kClose,
                "line 7: \"CreationTime\" is not a valid time"},
        BadFile{"BadUsageCount",
                kOpen + "<Entry><Times><UsageCount>-3</UsageCount></Times></Entry>" + kClose,
                "line 5: \"UsageCount\" is not a valid count"},
        BadFile{"MissingBinary",
                kOpen + "<Entry>\n<Binary><Key>a.txt</Key><Value Ref=\"9\"/></Binary></Entry>" +
                    kClose,
                "line 6: the attachment refers to binary \"9\""},
        BadFile{"BadInlineBinary",
                kOpen + "<Entry><Binary><Key>a</Key>\n<Value>!!!!</Value></Binary></Entry>" +
                    kClose,
                "line 6: the attachment's data is not valid base64"},
        BadFile{"BadMetaBinary",
                "<KeePassFile>\n<Meta><Binaries>\n<Binary ID=\"0\">$$$$</Binary>"
                "</Binaries></Meta><Root/></KeePassFile>",
                "line 3: binary \"0\" is not valid base64"},
        BadFile{"DamagedCompressedBinary",
                "<KeePassFile>\n<Meta><Binaries>\n<Binary ID=\"0\" Compressed=\"True\">aGVsbG8="
                "</Binary></Binaries></Meta><Root/></KeePassFile>",
                "line 3: the compressed binary \"0\" is damaged"},
        BadFile{"NestedTooDeep", nestedGroups(65), "line 68: groups are nested more than 64 deep"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace keskor
