#include "enterprise/EnterpriseStorage.h"

#include "core/shared/ServerProtocol.h"
#include "platform/MemoryDefaultsStore.h"
#include "platform/MemoryKeychain.h"
#include "testing/SampleDatabase.h"
#include "testing/enterprise-server/EnterpriseServer.h"
#include "tests/support/RemoteCalls.h"
#include "tests/support/TempDir.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QtEndian>
#include <gtest/gtest.h>

namespace keskor {
namespace {

using testing::EnterpriseServer;
using testing::ServerUser;

/// The failure text of an operation, or "ok".
QString outcome(const test::RemoteOp& start) {
    const QString failure = test::runRemote(start);
    return failure.isEmpty() ? QStringLiteral("ok") : failure;
}

class EnterpriseStorageTest : public ::testing::Test {
protected:
    void startServer(bool tls, const QString& folder, quint16 port = 0) {
        EnterpriseServer::Options options;
        options.dataFolder = folder;
        options.tls = tls;
        options.hashCost = testing::ServerUserStore::HashCost::minimum();
        options.clock = [this] { return now; };
        options.cutAnswersTo = cutAnswersTo;
        server = std::make_unique<EnterpriseServer>(options);
        QString error;
        ASSERT_TRUE(server->start(port, &error)) << error.toStdString();
        if (!server->users().findByName(QStringLiteral("alice"))) {
            server->users().addUser(QStringLiteral("alice"), QStringLiteral("pw-a"), {}, 4);
            ASSERT_TRUE(server->databases().add(QStringLiteral("Team/Vault"),
                                                testing::SampleDatabase::full(), {}, &error));
        }
    }
    ServerCredentials credentials(ProtocolVersion version, bool tls, const QString& user,
                                  const QString& password) const {
        ServerCredentials c;
        c.host = QStringLiteral("127.0.0.1");
        c.port = server ? server->serverPort() : fakePort;
        c.userName = user;
        c.password = password;
        c.protocolVersion = version;
        c.useSSL = tls;
        return c;
    }
    QString login(const ServerCredentials& c) {
        return outcome(
            [&](auto ok, auto fail) { storage.login(c, false, std::nullopt, ok, fail); });
    }
    ServerUser addUser(const QString& name, bool mustChange, bool twoFactor) {
        ServerUser user =
            *server->users().findById(*server->users().addUser(name, QStringLiteral("old"), {}, 0));
        user.mustChangePassword = mustChange;
        user.twoFactorRequired = twoFactor;
        QString error;
        EXPECT_TRUE(server->users().update(user, &error));
        return user;
    }

    test::TempDir dir;
    std::int64_t now = 1111111109;
    std::unique_ptr<EnterpriseServer> server;
    quint16 fakePort = 0;
    std::optional<qsizetype> cutAnswersTo;
    MemoryDefaultsStore defaults;
    MemoryKeychain keychain;
    EnterpriseStorage storage{defaults, keychain, [] {
                                  TCPClient::Options o;
                                  o.answerTimeout = std::chrono::milliseconds(1500);
                                  return o;
                              }()};
};

class EnterpriseStorageSessionTest
    : public EnterpriseStorageTest,
      public ::testing::WithParamInterface<std::pair<ProtocolVersion, bool>> {};

TEST_P(EnterpriseStorageSessionTest, LogsInListsOpensSavesEditsAndLogsOut) {
    const auto [version, tls] = GetParam();
    startServer(tls, dir.path());
    ASSERT_EQ(login(credentials(version, tls, QStringLiteral("alice"), QStringLiteral("pw-a"))),
              QStringLiteral("ok"));
    EXPECT_TRUE(storage.isLoggedIn());
    const ServerCredentials stored = storage.storedCredentials();
    EXPECT_EQ(stored.port, server->serverPort());
    EXPECT_EQ(stored.protocolVersion, version);
    EXPECT_EQ(stored.useSSL, tls);
    EXPECT_EQ(stored.id.has_value(), version == ProtocolVersion::version3);

    const IRemoteStorage::FileList files = test::listRemote(storage);
    ASSERT_EQ(files.size(), 1u);
    // A lost connection: the session check before the next request signs in again.
    const quint16 port = server->serverPort();
    server.reset();
    startServer(tls, dir.path(), port);
    ASSERT_EQ(outcome([&](auto ok, auto fail) { storage.downloadFile(files[0], ok, fail); }),
              QStringLiteral("ok"));
    std::optional<IEntrySyncStorage::OpenedDatabase> opened = storage.takeDownloadedDatabase();
    ASSERT_TRUE(opened);
    EXPECT_FALSE(storage.takeDownloadedDatabase());
    PassFile& db = opened->file;
    EXPECT_TRUE(db.isEnterprise());

    // A new folder with a new entry in it, a changed entry, a deleted one.
    auto folder = Info2Item::createFolder(QStringLiteral("New folder"));
    auto added = Info2Item::create(Info2Item::TypePassword, QStringLiteral("Added"));
    folder->addSubItem(added);
    db.addItem(folder);
    std::vector<std::shared_ptr<Info2Item>> entries;
    std::function<void(const Info2Item&)> collect = [&](const Info2Item& parent) {
        for (const auto& item : parent.subItems()) {
            if (!item->isFolder && item != added) {
                entries.push_back(item);
            }
            collect(*item);
        }
    };
    collect(db.root());
    ASSERT_GE(entries.size(), 2u);
    entries[0]->setPassword(QStringLiteral("changed"));
    const QString removed = entries[1]->fingerprint();
    entries[1]->parent()->removeSubItem(entries[1].get());
    ASSERT_EQ(outcome([&](auto ok, auto fail) { storage.saveEntryChanges(db, ok, fail); }),
              QStringLiteral("ok"));
    EXPECT_EQ(storage.unsentChanges(db), 0u);

    const PassFile onServer =
        server->databases().read(*server->databases().findById(*files[0]->id));
    ASSERT_TRUE(onServer.findItem(added->fingerprint()));
    EXPECT_EQ(onServer.findItem(added->fingerprint())->parent()->fingerprint(),
              folder->fingerprint());
    EXPECT_EQ(onServer.findItem(entries[0]->fingerprint())->password(), QStringLiteral("changed"));
    EXPECT_FALSE(onServer.findItem(removed));

    storage.logout();
    EXPECT_FALSE(storage.isLoggedIn());
    EXPECT_FALSE(storage.credentials());
    EXPECT_EQ(outcome([&](auto ok, auto fail) { storage.saveEntryChanges(db, ok, fail); }),
              QStringLiteral("enterprise_error_not_connected"));
}

INSTANTIATE_TEST_SUITE_P(Versions, EnterpriseStorageSessionTest,
                         ::testing::Values(std::pair{ProtocolVersion::version1, false},
                                           std::pair{ProtocolVersion::version2, false},
                                           std::pair{ProtocolVersion::version3, true}));

TEST_F(EnterpriseStorageTest, StoredSettingsFallBackToTheSecondVersionAndItsDefaultPort) {
    const std::vector<std::tuple<QVariant, QVariant, ProtocolVersion, int>> cases{
        {QVariant(), QVariant(), ProtocolVersion::version1, IProtocol::DEFAULT_PORT},
        {QStringLiteral("9"), QStringLiteral("x"), ProtocolVersion::version2,
         IProtocol::DEFAULT_PORT},
        {QStringLiteral("3"), QStringLiteral("4711"), ProtocolVersion::version3, 4711},
    };
    for (const auto& [version, port, expectedVersion, expectedPort] : cases) {
        defaults.setObject(QString::fromLatin1(EnterpriseStorage::keyForServerVersion), version);
        defaults.setObject(QString::fromLatin1(EnterpriseStorage::keyForServerPort), port);
        const ServerCredentials c = storage.storedCredentials();
        EXPECT_EQ(c.protocolVersion, expectedVersion);
        EXPECT_EQ(c.port, expectedPort);
    }
    const QString token = storage.deviceToken();
    EXPECT_FALSE(token.isEmpty());
    EXPECT_EQ(storage.deviceToken(), token);
}

// The whole change and two-factor sequence runs through the log-in dialogs' controllers.
TEST_F(EnterpriseStorageTest, ADemandedPasswordChangeRefusesAWrongOldPassword) {
    startServer(false, dir.path());
    addUser(QStringLiteral("bob"), true, false);
    EXPECT_EQ(login(credentials(ProtocolVersion::version2, false, QStringLiteral("bob"),
                                QStringLiteral("old"))),
              QStringLiteral("PASSWORD_RESET_REQUIRED"));
    EXPECT_EQ(outcome([&](auto ok, auto fail) {
                  storage.changePassword(QStringLiteral("wrong"), QStringLiteral("new"), ok, fail);
              }),
              QStringLiteral("Error while changing server password"));
    EXPECT_FALSE(storage.isLoggedIn());
}

TEST_F(EnterpriseStorageTest, ChangedCertificateIsRefusedUnlessPinningIsOff) {
    startServer(true, dir.path());
    const quint16 port = server->serverPort();
    const auto alice = credentials(ProtocolVersion::version2, true, QStringLiteral("alice"),
                                   QStringLiteral("pw-a"));
    ASSERT_EQ(login(alice), QStringLiteral("ok"));
    EXPECT_EQ(login(alice), QStringLiteral("ok"));
    storage.logout();

    // Another server with its own certificate on the same address.
    server.reset();
    test::TempDir other;
    startServer(true, other.path(), port);
    EXPECT_EQ(login(alice), QStringLiteral("enterprise_error_certificate_changed"));
    EXPECT_FALSE(storage.isLoggedIn());
    defaults.setBool(QString::fromLatin1(EnterpriseStorage::keyForCertificatePinning), false);
    EXPECT_EQ(login(alice), QStringLiteral("ok"));
    defaults.remove(QString::fromLatin1(EnterpriseStorage::keyForCertificatePinning));
    storage.forgetPinnedCertificate(alice.endpoint());
    EXPECT_EQ(login(alice), QStringLiteral("ok"));
}

QByteArray header(quint32 length) {
    QByteArray h(8, '\0');
    qToLittleEndian<quint32>(ServerProtocol(ProtocolVersion::version1).signature(), h.data());
    qToLittleEndian<quint32>(length, h.data() + 4);
    return h + QByteArray(4, '\0');
}

// A server of ours that answers the first request in a chosen broken way.
TEST_F(EnterpriseStorageTest, BrokenAnswersEndTheLogInWithAClearError) {
    const std::vector<std::pair<std::function<void(QTcpSocket*)>, QString>> cases{
        {[](QTcpSocket* s) {
             // The header announces far more than arrives before the close.
             s->write(header(4096) + QByteArray(40, 'x'));
             s->disconnectFromHost();
         },
         QStringLiteral("enterprise_error_empty_response")},
        {[](QTcpSocket* s) { s->write(QByteArray(64, 'g') + header(5)); },
         QStringLiteral("enterprise_error_wrong_data_format")},
        {[](QTcpSocket* s) { s->write(header(44) + QByteArray(32, 'g')); },
         QStringLiteral("enterprise_error_wrong_parsing")},
        {[](QTcpSocket*) {}, QStringLiteral("enterprise_error_no_answer")},
    };
    for (const auto& [behave, expected] : cases) {
        QTcpServer fake;
        ASSERT_TRUE(fake.listen(QHostAddress::LocalHost));
        fakePort = fake.serverPort();
        QObject::connect(&fake, &QTcpServer::newConnection, &fake, [&fake, behave = behave] {
            QTcpSocket* s = fake.nextPendingConnection();
            QObject::connect(s, &QTcpSocket::readyRead, s, [s, behave] {
                s->readAll();
                behave(s);
            });
        });
        // Version 1 sends the log-in first, without a key exchange.
        EXPECT_EQ(login(credentials(ProtocolVersion::version1, false, QStringLiteral("alice"),
                                    QStringLiteral("pw"))),
                  expected);
        EXPECT_FALSE(storage.isLoggedIn());
    }
    // The reference server dying half-way through its first answer, the key exchange's.
    cutAnswersTo = 30;
    startServer(false, dir.path());
    EXPECT_EQ(login(credentials(ProtocolVersion::version2, false, QStringLiteral("alice"),
                                QStringLiteral("pw-a"))),
              QStringLiteral("enterprise_error_empty_response"));
}

} // namespace
} // namespace keskor
