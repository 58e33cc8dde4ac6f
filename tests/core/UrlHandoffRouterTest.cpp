#include "core/UrlHandoffRouter.h"

#include "core/FileFunctions.h"
#include "core/shared/KeyHelper.h"
#include "testing/RecordingRemoteStorage.h"
#include "testing/SampleDatabase.h"
#include "tests/core/AppHarness.h"

#include <QUrl>
#include <gtest/gtest.h>
#include <map>

using namespace keskor;
using keskor::testing::RecordingRemoteStorage;
using keskor::testing::SampleDatabase;

namespace {

const QString kPassword = QStringLiteral("Correct-Horse-Battery-9");

struct Handed {
    const char* name;
    /// "{dir}" stands for the temporary folder.
    const char* argument;
    /// The storage that must get the redirect; none for the other targets.
    std::optional<Location> storage;
    /// The database file that must be open afterwards, in the temporary folder.
    const char* opened;
    int fronts;
};

std::ostream& operator<<(std::ostream& os, const Handed& h) {
    return os << h.name;
}

class UrlHandoffRouterTest : public ::testing::TestWithParam<Handed>,
                             protected keskor::test::AppHarness {
protected:
    std::map<Location, RecordingRemoteStorage*> storages;
    AppDelegate app{
        services([this](Location location, SessionManager&) -> std::unique_ptr<IRemoteStorage> {
            auto storage = std::make_unique<RecordingRemoteStorage>();
            storages[location] = storage.get();
            return storage;
        })};
    int fronts = 0;
    UrlHandoffRouter router{app.mainManager().remoteStorageManager, app.databases(),
                            [this] { ++fronts; }};

    void writeDatabase(const QString& name) {
        PassFile file = SampleDatabase::full();
        file.krServer.reset();
        const DatabaseInfo info{name, dir.path(), Location::localDevice, false};
        const Key256 key =
            KeyHelper().keyFromCredentials(file, Credentials(kPassword, std::nullopt));
        FileFunctions::writeDatabase(FileFunctions::databaseFile(paths, info), key, file);
    }
};

TEST_P(UrlHandoffRouterTest, EachArgumentReachesItsTarget) {
    const Handed& h = GetParam();
    const QString argument =
        QString::fromUtf8(h.argument).replace(QStringLiteral("{dir}"), dir.path());
    if (h.opened) {
        writeDatabase(QString::fromUtf8(h.opened));
        presenter.answerCredentials({kPassword, std::nullopt});
    }

    router.route(QStringList{argument});

    for (const auto& [location, storage] : storages) {
        EXPECT_EQ(storage->calls,
                  location == h.storage
                      ? QStringList{QStringLiteral("handleRedirect ") + QUrl(argument).toString()}
                      : QStringList())
            << Locations::scheme(location).toStdString();
    }
    if (h.storage) {
        EXPECT_EQ(storages.count(*h.storage), 1u) << "the redirect must reach a storage";
    }
    const SessionManager& session = app.mainManager().sessionManager;
    if (h.opened) {
        ASSERT_TRUE(session.isDatabaseOpen());
        EXPECT_EQ(*session.currentDBInfo, (DatabaseInfo{QString::fromUtf8(h.opened), dir.path(),
                                                        Location::localDevice, false}));
    } else {
        EXPECT_FALSE(session.isDatabaseOpen());
    }
    EXPECT_EQ(fronts, h.fronts);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UrlHandoffRouterTest,
    ::testing::Values(
        Handed{"google", "com.googleusercontent.apps.123-abc:/oauth2redirect?code=4/x&state=s",
               Location::gDrive, nullptr, 0},
        Handed{"box", "boxsdk-clientid://boxsdkoauth2redirect?code=abc&state=s", Location::box,
               nullptr, 0},
        Handed{"dropbox", "db-appkey://2/token#access_token=x&state=s", Location::dropbox, nullptr,
               0},
        Handed{"anyOtherUrl", "keskor://oauth?code=1", Location::dropbox, nullptr, 0},
        Handed{"databasePath", "{dir}/Family Vault.pswd", std::nullopt, "Family Vault.pswd", 1},
        Handed{"databaseFileUrl", "file://{dir}/work.PSWE", std::nullopt, "work.PSWE", 1},
        Handed{"otherFile", "{dir}/notes.txt", std::nullopt, nullptr, 1},
        Handed{"emptyArgument", "", std::nullopt, nullptr, 1}),
    [](const ::testing::TestParamInfo<Handed>& info) { return std::string(info.param.name); });

TEST(UrlHandoffRouterArguments, RelativePathsBecomeAbsoluteAndUrlsStay) {
    EXPECT_EQ(
        UrlHandoffRouter::absoluteArguments(
            {QStringLiteral("vault.pswd"), QStringLiteral("../x/y.pswe"),
             QStringLiteral("/abs/z.pswd"), QStringLiteral("keskor://oauth?code=1")},
            QStringLiteral("/home/u/docs")),
        (QStringList{QStringLiteral("/home/u/docs/vault.pswd"), QStringLiteral("/home/u/x/y.pswe"),
                     QStringLiteral("/abs/z.pswd"), QStringLiteral("keskor://oauth?code=1")}));
}

} // namespace
