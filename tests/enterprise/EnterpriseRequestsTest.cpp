#include "enterprise/EnterpriseRequests.h"

#include "core/shared/PassFileCodec.h"
#include "core/shared/ServerProtocol.h"

#include <gtest/gtest.h>

namespace keskor {
namespace {

class EnterpriseRequestsTest : public ::testing::Test {
protected:
    EnterpriseRequestsTest() : protocol(ProtocolVersion::version2) {
        item = Info2Item::create(Info2Item::TypePassword, QStringLiteral("Mail"));
        item->setPassword(QStringLiteral("s3cr\u00e9t"));
        item->mutableHistory().push_back(*item);
    }
    ServerProtocol protocol;
    std::shared_ptr<Info2Item> item;
};

TEST_F(EnterpriseRequestsTest, EntryEditsRoundTripAndRefuseMismatchedOrDamagedItems) {
    const TCSDataPacket add = EnterpriseRequests::entryEdit(
        protocol, ProtocolCommand::addItem, QStringLiteral("db-7"), item->fingerprint(),
        QStringLiteral("folder-1"), PassFileCodec::serializeItem(*item));
    const auto edit = EnterpriseRequests::parseEntryEdit(protocol, add);
    ASSERT_TRUE(edit);
    EXPECT_EQ(edit->command, ProtocolCommand::addItem);
    EXPECT_EQ(edit->serverId, QStringLiteral("db-7"));
    EXPECT_EQ(edit->parentId, QStringLiteral("folder-1"));
    ASSERT_TRUE(edit->item);
    EXPECT_TRUE(edit->item->sameContent(*item));
    EXPECT_EQ(edit->item->history().size(), 1u);

    TCSDataPacket wrongId = add;
    wrongId.setText2(QStringLiteral("other"));
    TCSDataPacket truncated = add;
    truncated.setData2(add.data2().chopped(3));
    TCSDataPacket trailing = add;
    trailing.setData2(add.data2() + "x");
    TCSDataPacket asFolder = add;
    asFolder.setCommand(protocol.commandCode(ProtocolCommand::addFolder));
    TCSDataPacket notAnEdit = add;
    notAnEdit.setCommand(protocol.commandCode(ProtocolCommand::listDatabases));
    for (const TCSDataPacket* bad : {&wrongId, &truncated, &trailing, &asFolder, &notAnEdit}) {
        EXPECT_FALSE(EnterpriseRequests::parseEntryEdit(protocol, *bad));
    }

    const auto removal = EnterpriseRequests::parseEntryEdit(
        protocol,
        EnterpriseRequests::entryEdit(protocol, ProtocolCommand::deleteItem, QStringLiteral("db-7"),
                                      item->fingerprint(), QString()));
    ASSERT_TRUE(removal);
    EXPECT_FALSE(removal->item);
}

TEST_F(EnterpriseRequestsTest, DatabaseListSkipsLinesWithoutExactlyOneEqualsSign) {
    TCSDataPacket answer(protocol);
    answer.setData2("Team/Shared.pswd=42\r\nbroken\r\na=b=c\r\nOwn.pswd=7\r\n");
    const auto files = EnterpriseRequests::parseDatabaseList(answer);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0]->path, QStringLiteral("Team/Shared.pswd"));
    EXPECT_EQ(files[0]->id, QStringLiteral("42"));
    EXPECT_EQ(files[0]->name, QStringLiteral("Shared.pswd"));
    EXPECT_EQ(files[1]->name, QStringLiteral("Own.pswd"));
}

TEST_F(EnterpriseRequestsTest, LoginAndKeyExchangeParametersSurviveTheServerParsers) {
    const ConnectionData2FA tfa(QStringLiteral("tok"), QStringLiteral("123456"), QString(), true);
    const auto login = EnterpriseRequests::parseLogin(
        EnterpriseRequests::login(protocol, QStringLiteral("ann"), std::nullopt, tfa));
    ASSERT_TRUE(login);
    EXPECT_EQ(login->userName, QStringLiteral("ann"));
    EXPECT_TRUE(login->password.isEmpty());
    EXPECT_EQ(login->dataTFA, tfa);
    const auto flags =
        EnterpriseRequests::parseKeyExchangeStart(EnterpriseRequests::keyExchangeStart(protocol));
    ASSERT_TRUE(flags);
    EXPECT_EQ(*flags, IProtocol::dataTransportIntKeys | IProtocol::dataTransportDataKeys |
                          IProtocol::dataTransportECDH);

    TCSDataPacket answer(protocol);
    answer.setData1("not a number");
    answer.setData2("\xff\xfe");
    const auto start = EnterpriseRequests::parseKeyExchangeStartAnswer(answer);
    EXPECT_EQ(start.curveNid, 0);
    EXPECT_TRUE(start.publicKeyPem.isEmpty());
}

} // namespace
} // namespace keskor
