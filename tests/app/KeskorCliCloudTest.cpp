// keskor-cli's cloud commands against the fake Microsoft Graph over real HTTP: the sign-in
// through the address the command prints, and a database going up, being edited and coming
// back down.

#include "testing/FakeGraphServer.h"
#include "tests/app/CliTestBase.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>

namespace keskor::test {
namespace {

class KeskorCliCloudTest : public CliTestBase {
protected:
    void SetUp() override {
        ASSERT_TRUE(graph.listen());
        const QJsonObject deployment{
            {QStringLiteral("oneDrive"),
             QJsonObject{{QStringLiteral("clientId"), QStringLiteral("cli-test")},
                         {QStringLiteral("authority"), graph.authority().toString()},
                         {QStringLiteral("graphEndpoint"), graph.graphEndpoint().toString()}}}};
        const QString file = dir.file(QStringLiteral("deployment.json"));
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(QJsonDocument(deployment).toJson());
        out.close();
        cli.setEnv(QStringLiteral("KESKOR_DEPLOYMENT"), file);
    }

    /// Runs a cloud command; a sign-in address it prints is followed as a browser would.
    CliResult cloud(const QStringList& arguments) {
        return cli.run(
            QStringList{QStringLiteral("cloud")} + arguments, {}, 60000,
            [this](const QString& err) {
                const QRegularExpressionMatch m =
                    QRegularExpression(QStringLiteral("Sign in at: (\\S+)")).match(err);
                if (m.hasMatch()) {
                    ++signIns;
                    QNetworkReply* reply = browser.get(QNetworkRequest(QUrl(m.captured(1))));
                    QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
                }
            });
    }
    QList<testing::FakeGraphServer::Item> databasesOnDrive() const {
        QList<testing::FakeGraphServer::Item> found;
        for (const auto& item : graph.items()) {
            if (!item.isFolder) {
                found << item;
            }
        }
        return found;
    }

    testing::FakeGraphServer graph;
    QNetworkAccessManager browser;
    int signIns = 0;
};

TEST_F(KeskorCliCloudTest, PushEditPushPullRoundTrip) {
    createDatabase();
    CliResult r = cloud({QStringLiteral("push"), QStringLiteral("onedrive"), db});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(signIns, 1);
    ASSERT_EQ(databasesOnDrive().size(), 1);
    EXPECT_EQ(databasesOnDrive().first().content, bytes(db));

    // Edited locally and pushed again: the drive's copy is replaced, not doubled, and the
    // sign-in kept in the keychain serves the second run.
    ok({QStringLiteral("add"), db, QStringLiteral("Mail"), QStringLiteral("-u"),
        QStringLiteral("ann")});
    r = cloud({QStringLiteral("push"), QStringLiteral("onedrive"), db});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(signIns, 1);
    ASSERT_EQ(databasesOnDrive().size(), 1);
    EXPECT_EQ(databasesOnDrive().first().content, bytes(db));

    r = cloud({QStringLiteral("ls"), QStringLiteral("onedrive")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.trimmed(), QStringLiteral("family.pswe"));

    const QString copy = dir.file(QStringLiteral("copy.pswe"));
    r = cloud(
        {QStringLiteral("pull"), QStringLiteral("onedrive"), QStringLiteral("family.pswe"), copy});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(bytes(copy), bytes(db));
    const CliResult shown = run({QStringLiteral("show"), copy, QStringLiteral("Mail")});
    EXPECT_EQ(shown.exitCode, 0) << shown.err.toStdString();
    EXPECT_EQ(QFile(copy).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup),
              QFileDevice::Permissions());
}

TEST_F(KeskorCliCloudTest, RefusesWhatWouldLoseData) {
    createDatabase();
    const CliResult first = cloud({QStringLiteral("push"), QStringLiteral("onedrive"), db});
    ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();

    // Not a database: nothing goes up.
    const QString notes = dir.file(QStringLiteral("notes.txt"));
    QFile text(notes);
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("shopping list\n");
    text.close();
    CliResult r = cloud({QStringLiteral("push"), QStringLiteral("onedrive"), notes});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(databasesOnDrive().size(), 1);

    // A local file is not replaced by a pull unless asked.
    const QByteArray before = bytes(notes);
    r = cloud(
        {QStringLiteral("pull"), QStringLiteral("onedrive"), QStringLiteral("family.pswe"), notes});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(bytes(notes), before);

    r = cloud({QStringLiteral("pull"), QStringLiteral("onedrive"), QStringLiteral("missing.pswe"),
               dir.file(QStringLiteral("m.pswe"))});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("missing.pswe"))) << r.err.toStdString();

    // A failing service reports a failure instead of claiming the upload.
    graph.setFailure(500);
    r = cloud({QStringLiteral("push"), QStringLiteral("onedrive"), db});
    EXPECT_EQ(r.exitCode, 1);
    graph.setFailure(0);

    EXPECT_EQ(cloud({QStringLiteral("nosuchdrive"), QStringLiteral("onedrive")}).exitCode, 2);
    EXPECT_EQ(cloud({QStringLiteral("ls"), QStringLiteral("floppy")}).exitCode, 2);
}

} // namespace
} // namespace keskor::test
