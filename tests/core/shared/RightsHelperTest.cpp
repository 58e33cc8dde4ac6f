#include "core/shared/RightsHelper.h"

#include "core/shared/AccessRights.h"
#include "core/shared/DateTimeHelper.h"

#include <gtest/gtest.h>

using namespace keskor;

namespace {

class RightsHelperTest : public ::testing::Test {
protected:
    PassFile file = PassFile::createNewFile(PassFile::FileType::Plain, std::nullopt,
                                            PassFile::AuthenticationType::Password, false);
    std::shared_ptr<Info2Item> entry = Info2Item::create(1, QStringLiteral("e"));

    void makeEnterprise(std::uint32_t dbRights) {
        file.krServer = QStringLiteral("srv");
        file.currentUserId = QStringLiteral("me");
        file.userRights = dbRights;
    }
    void grant(const QString& user, std::uint32_t rights, bool sealed = false, double from = 0.0,
               double to = 0.0) {
        AccessPermission p;
        p.id = QString::number(entry->accessPermissions().size());
        p.userId = user;
        p.rights = rights;
        p.sealed = sealed;
        p.validFrom = from;
        p.validTo = to;
        entry->mutableAccessPermissions().append(p);
    }
};

TEST_F(RightsHelperTest, ALocalDatabaseAllowsEverything) {
    entry->mutableAccessPermissions().append(AccessPermission{});
    EXPECT_TRUE(RightsHelper::checkModifyRights(file, *entry));
    EXPECT_TRUE(RightsHelper::checkDeleteRights(file, *entry));
    EXPECT_TRUE(RightsHelper::checkDBSaveAsRights(file));
    EXPECT_TRUE(RightsHelper::checkDBExportRights(file));
    EXPECT_TRUE(RightsHelper::checkAddonFill(file, *entry));
}

TEST_F(RightsHelperTest, EnterpriseItemPermissionsReplaceTheDatabaseRights) {
    makeEnterprise(AccessRights::ALL);
    grant(QStringLiteral("someone else"), 0);
    EXPECT_TRUE(RightsHelper::checkModifyRights(file, *entry)); // not mine: database rights
    grant(QStringLiteral("me"), AccessRights::PWD_ACCESS_READ);
    EXPECT_FALSE(RightsHelper::checkModifyRights(file, *entry));
    EXPECT_TRUE(RightsHelper::checkAddonSuggestion(file, *entry));
    grant(QStringLiteral("me"), AccessRights::PWD_ACCESS_MODIFY);
    EXPECT_TRUE(RightsHelper::checkModifyRights(file, *entry));
}

TEST_F(RightsHelperTest, SealedOrExpiredPermissionsGrantNothing) {
    makeEnterprise(AccessRights::ALL);
    const double now = DateTimeHelper::Now();
    grant(QStringLiteral("me"), AccessRights::ALL, true);
    grant(QStringLiteral("me"), AccessRights::ALL, false, now - 10, now - 1);
    grant(QStringLiteral("me"), AccessRights::ALL, false, now + 1, 0);
    EXPECT_EQ(RightsHelper::rightsFor(file, entry.get()), 0u);
    EXPECT_FALSE(RightsHelper::checkAddonFill(file, *entry));
}

TEST_F(RightsHelperTest, DeletingAFolderNeedsTheRightOnEverythingInIt) {
    makeEnterprise(AccessRights::ALL);
    auto folder = Info2Item::createFolder(QStringLiteral("f"));
    folder->addSubItem(entry);
    EXPECT_TRUE(RightsHelper::checkDeleteRights(file, *folder));
    grant(QStringLiteral("me"), AccessRights::PWD_ACCESS_READ);
    EXPECT_FALSE(RightsHelper::checkDeleteRights(file, *folder));
    EXPECT_FALSE(RightsHelper::checkDeleteRights(file, {folder}));
}

TEST_F(RightsHelperTest, DatabaseLevelRightsOfAnEnterpriseDatabase) {
    makeEnterprise(AccessRights::PWD_ACCESS_READ);
    file.allowSaveAs = false;
    EXPECT_FALSE(RightsHelper::checkDBSaveAsRights(file));
    EXPECT_TRUE(RightsHelper::checkDBExportRights(file));
    EXPECT_FALSE(RightsHelper::checkCreateRights(file, nullptr));
    entry->doNotAddon = true;
    EXPECT_FALSE(RightsHelper::checkAddonSuggestion(file, *entry));
}

TEST(AccessPermissionTest, SerialisedFormRoundTripsAndRefusesGarbage) {
    AccessPermission p;
    p.id = QStringLiteral("{A}");
    p.userId = QStringLiteral("null");
    p.rights = 0xFFFFFFFFu;
    p.sealed = true;
    p.validTo = 45000.5;
    p.approvers = {QStringLiteral("x"), QStringLiteral("ü")};
    EXPECT_EQ(AccessPermission::deserialize(p.serialize()), p);
    EXPECT_EQ(AccessPermission::deserialize(QStringLiteral("[1,2]")), std::nullopt);
    EXPECT_EQ(AccessPermission::deserialize(QStringLiteral("{\"id\":\"a\",\"rights\":-1}")),
              std::nullopt);
    EXPECT_EQ(AccessPermission::deserialize(QStringLiteral("{")), std::nullopt);
}

} // namespace
