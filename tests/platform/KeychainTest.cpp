#include "core/shared/CommonException.h"
#include "platform/FileKeychain.h"
#include "platform/MemoryKeychain.h"
#include "platform/SecretServiceKeychain.h"
#include "tests/platform/MessageCapture.h"
#include "tests/support/TempDir.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>

namespace keskor {
namespace {

using test::MessageCapture;
using test::TempDir;

mode_t modeOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        return 0;
    }
    return st.st_mode & 0777;
}

// Contract shared by the file fallback and the test double.
enum class KeychainKind { Memory, File };

class KeychainContract : public ::testing::TestWithParam<KeychainKind> {
protected:
    void SetUp() override {
        if (GetParam() == KeychainKind::Memory) {
            keychain = std::make_unique<MemoryKeychain>();
        } else {
            keychain = std::make_unique<FileKeychain>(dir.file("secrets/keychain.json"));
        }
    }
    TempDir dir;
    std::unique_ptr<Keychain> keychain;
};

TEST_P(KeychainContract, SetGetReplaceRemove) {
    EXPECT_EQ(keychain->get("dropbox_token"), std::nullopt);
    keychain->set("dropbox_token", "first");
    keychain->set("box_token", QString::fromUtf8("ünïcode \"quoted\"\n"));
    keychain->set("dropbox_token", "second");
    EXPECT_EQ(keychain->get("dropbox_token"), QString("second"));
    EXPECT_EQ(keychain->get("box_token"), QString::fromUtf8("ünïcode \"quoted\"\n"));
    keychain->remove("dropbox_token");
    keychain->remove("dropbox_token");
    EXPECT_EQ(keychain->get("dropbox_token"), std::nullopt);
    EXPECT_EQ(keychain->get("box_token"), QString::fromUtf8("ünïcode \"quoted\"\n"));
    keychain->set("empty", "");
    EXPECT_EQ(keychain->get("empty"), QString(""));
}

INSTANTIATE_TEST_SUITE_P(Keychains, KeychainContract,
                         ::testing::Values(KeychainKind::Memory, KeychainKind::File),
                         [](const auto& info) {
                             return std::string(info.param == KeychainKind::Memory ? "Memory"
                                                                                   : "File");
                         });

TEST(FileKeychain, RewriteIsAtomicOwnerOnlyAndLeavesNoTemporaryFiles) {
    TempDir dir;
    const QString path = dir.file("profile/keychain.json");
    FileKeychain keychain(path);
    keychain.set("a", "1");
    EXPECT_EQ(modeOf(path), mode_t(0600));
    EXPECT_EQ(modeOf(dir.file("profile")), mode_t(0700));
    const auto inode = [&] {
        struct stat st {};
        ::stat(QFile::encodeName(path).constData(), &st);
        return st.st_ino;
    };
    const auto first = inode();
    keychain.set("b", "2");
    // A new file renamed over the old one, never the old one truncated in place.
    EXPECT_NE(inode(), first);
    EXPECT_EQ(modeOf(path), mode_t(0600));
    EXPECT_EQ(QDir(dir.file("profile")).entryList(QDir::Files | QDir::Hidden),
              QStringList{"keychain.json"});
    const QJsonObject root = QJsonDocument::fromJson(dir.read("profile/keychain.json")).object();
    EXPECT_EQ(root.value("items").toObject().value("a").toString(), "1");
    EXPECT_EQ(root.value("items").toObject().value("b").toString(), "2");
}

TEST(FileKeychain, FailedWriteKeepsTheOldFileAndThrowsWithoutTheSecret) {
    TempDir dir;
    FileKeychain keychain(dir.file("keychain.json"));
    keychain.set("a", "1");
    const QByteArray old = dir.read("keychain.json");
    // The folder of the file is a file: no temporary file can be created next to it.
    FileKeychain blocked(dir.file("keychain.json/inner.json"));
    try {
        blocked.set("k", "top-secret-text");
        FAIL() << "expected an error";
    } catch (const CommonException& e) {
        EXPECT_FALSE(e.message().contains("top-secret-text"));
    }
    EXPECT_EQ(dir.read("keychain.json"), old);
}

TEST(FileKeychain, DamagedFileIsMovedAsideNotOverwritten) {
    TempDir dir;
    dir.write("keychain.json", "{not json");
    FileKeychain keychain(dir.file("keychain.json"));
    MessageCapture capture;
    EXPECT_EQ(keychain.get("a"), std::nullopt);
    EXPECT_TRUE(capture.anyContains("damaged"));
    EXPECT_EQ(dir.read("keychain.json.broken"), QByteArray("{not json"));
    keychain.set("a", "1");
    EXPECT_EQ(keychain.get("a"), QString("1"));
}

TEST(SecretServiceKeychain, WithoutASessionBusUsesTheFileWithOneWarning) {
    TempDir dir;
    const QDBusConnection none =
        QDBusConnection::connectToBus(QStringLiteral("unix:path=%1").arg(dir.file("no-bus")),
                                      QStringLiteral("keskor-test-no-bus"));
    ASSERT_FALSE(none.isConnected());
    MessageCapture capture;
    SecretServiceKeychain keychain(dir.file("keychain.json"), none);
    EXPECT_TRUE(keychain.usesFallback());
    keychain.set("k", "v");
    EXPECT_EQ(keychain.get("k"), QString("v"));
    keychain.remove("k");
    EXPECT_EQ(keychain.get("k"), std::nullopt);
    EXPECT_EQ(capture.count("Secret Service"), 1);
    EXPECT_EQ(modeOf(dir.file("keychain.json")), mode_t(0600));
    QDBusConnection::disconnectFromBus(QStringLiteral("keskor-test-no-bus"));
}

bool secretServiceReachable() {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface() &&
           bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.secrets"));
}

class RealSecretService : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QDBusConnection::sessionBus().isConnected()) {
            GTEST_SKIP() << "no D-Bus session bus (run inside dbus-run-session)";
        }
        if (!secretServiceReachable()) {
            GTEST_SKIP() << "no Secret Service on the session bus (start gnome-keyring-daemon)";
        }
    }
    // A service name of its own, so the test never touches a real user's items.
    const QString service = "keskor-test-" + QUuid::createUuid().toString(QUuid::WithoutBraces);
    TempDir dir;
};

TEST_F(RealSecretService, RoundTripThroughTheService) {
    SecretServiceKeychain keychain(dir.file("keychain.json"), QDBusConnection::sessionBus(),
                                   service);
    EXPECT_EQ(keychain.get("token"), std::nullopt);
    keychain.set("token", QString::fromUtf8("s3cr3t ünï"));
    EXPECT_EQ(keychain.get("token"), QString::fromUtf8("s3cr3t ünï"));
    keychain.set("token", "replaced");
    EXPECT_EQ(keychain.get("token"), QString("replaced"));
    // Another instance sees the same item: it is in the service, not in this object.
    SecretServiceKeychain second(dir.file("keychain.json"), QDBusConnection::sessionBus(), service);
    EXPECT_EQ(second.get("token"), QString("replaced"));
    keychain.remove("token");
    EXPECT_EQ(second.get("token"), std::nullopt);
    EXPECT_FALSE(keychain.usesFallback());
    EXPECT_FALSE(QFileInfo::exists(dir.file("keychain.json")));
}

TEST_F(RealSecretService, SecretsLeftInTheFallbackFileStayReadableAndMoveOnWrite) {
    FileKeychain(dir.file("keychain.json")).set("old", "from-file");
    SecretServiceKeychain keychain(dir.file("keychain.json"), QDBusConnection::sessionBus(),
                                   service);
    EXPECT_EQ(keychain.get("old"), QString("from-file"));
    keychain.set("old", "in-service");
    EXPECT_EQ(FileKeychain(dir.file("keychain.json")).get("old"), std::nullopt);
    EXPECT_EQ(keychain.get("old"), QString("in-service"));
    keychain.remove("old");
    EXPECT_EQ(keychain.get("old"), std::nullopt);
}

} // namespace
} // namespace keskor
