#include "platform/Deployment.h"

#include "core/shared/CommonException.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace keskor {
namespace {

using test::TempDir;

QProcessEnvironment environmentNaming(const QString& path) {
    QProcessEnvironment env;
    env.insert(QString::fromLatin1(Deployment::kEnvironmentVariable), path);
    return env;
}

TEST(Deployment, FileOverridesOnlyTheMembersItNames) {
    TempDir dir;
    dir.write(QStringLiteral("deployment.json"),
              R"({"gDrive": {"clientId": "id-of-test", "apiHost": "http://127.0.0.1:8123"},
                  "pwned": {"apiKey": "k"}})");
    const Deployment d =
        Deployment::fromEnvironment(environmentNaming(dir.file(QStringLiteral("deployment.json"))));
    EXPECT_EQ(d.gDrive.clientId, QStringLiteral("id-of-test"));
    EXPECT_EQ(d.gDrive.apiHost, QUrl(QStringLiteral("http://127.0.0.1:8123")));
    EXPECT_EQ(d.gDrive.tokenUrl, Deployment{}.gDrive.tokenUrl);
    EXPECT_EQ(d.pwned.apiKey, QByteArray("k"));
    EXPECT_EQ(d.pwned.baseUrl, Deployment{}.pwned.baseUrl);
    EXPECT_EQ(d.oneDrive.graphEndpoint, Deployment{}.oneDrive.graphEndpoint);
}

TEST(Deployment, WithoutTheVariableTheDefaultsApply) {
    const Deployment d = Deployment::fromEnvironment(QProcessEnvironment());
    EXPECT_EQ(d.oneDrive.graphEndpoint.scheme(), QStringLiteral("https"));
    EXPECT_TRUE(d.oneDrive.graphEndpoint.path().endsWith(QLatin1Char('/')));
}

// A deployment file with a mistake must stop the program with a message naming the mistake,
// never fall back silently to the public services.
struct BadDeployment {
    const char* name;
    const char* json;
    const char* mentioned;
};

class DeploymentRefuses : public ::testing::TestWithParam<BadDeployment> {};

TEST_P(DeploymentRefuses, WithAMessageNamingTheFault) {
    TempDir dir;
    dir.write(QStringLiteral("d.json"), GetParam().json);
    try {
        Deployment::fromEnvironment(environmentNaming(dir.file(QStringLiteral("d.json"))));
        FAIL() << "accepted " << GetParam().json;
    } catch (const CommonException& e) {
        EXPECT_TRUE(e.message().contains(QString::fromUtf8(GetParam().mentioned)))
            << e.message().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, DeploymentRefuses,
    ::testing::Values(
        BadDeployment{"NotJson", "{\"gDrive\": ", "not a JSON object"},
        BadDeployment{"Array", "[]", "not a JSON object"},
        BadDeployment{"UnknownService", R"({"gdrive": {}})", "gdrive"},
        BadDeployment{"UnknownMember", R"({"box": {"apiHots": "https://x"}})", "box.apiHots"},
        BadDeployment{"NumberForText", R"({"oneDrive": {"clientId": 7}})", "oneDrive.clientId"},
        BadDeployment{"NotHttp", R"({"hiDrive": {"apiHost": "ftp://x.example"}})",
                      "hiDrive.apiHost"},
        BadDeployment{"NoHost", R"({"dropbox": {"apiHost": "https://"}})", "dropbox.apiHost"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Deployment, AMissingFileIsNamed) {
    TempDir dir;
    const QString path = dir.file(QStringLiteral("absent.json"));
    try {
        Deployment::fromEnvironment(environmentNaming(path));
        FAIL();
    } catch (const CommonException& e) {
        EXPECT_TRUE(e.message().contains(path)) << e.message().toStdString();
    }
}

} // namespace
} // namespace keskor
