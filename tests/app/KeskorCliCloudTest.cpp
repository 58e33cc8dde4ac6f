// keskor-cli's cloud commands against the fake drives over real HTTP: the sign-in through the
// address the command prints, and a database going up, being edited and coming back down.

#include "testing/FakeBoxServer.h"
#include "testing/FakeDropboxServer.h"
#include "testing/FakeGDriveServer.h"
#include "testing/FakeGraphServer.h"
#include "testing/FakeHiDriveServer.h"
#include "tests/app/CliTestBase.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <memory>

namespace keskor::test {
namespace {

/// The contents of the items a fake drive holds that `isTheFile` picks.
template <typename Items, typename Pick>
QList<QByteArray> contentsOf(const Items& items, Pick isTheFile) {
    QList<QByteArray> found;
    for (const auto& item : items) {
        if (isTheFile(item)) {
            found << item.content;
        }
    }
    return found;
}

/// One fake drive as the CLI tests see it: where the deployment points, and what it holds.
class Drive {
public:
    virtual ~Drive() = default;
    virtual bool listen() = 0;
    virtual QJsonObject deployment() const = 0;
    /// The contents of every file of that name on the drive.
    virtual QList<QByteArray> copies(const QString& name) const = 0;
    virtual void setFailure(int status) = 0;
    /// The browser at the sign-in page; most drives send it back to the program's listener,
    /// the others give something the user types into the prompt.
    virtual void signIn(QNetworkAccessManager& browser, const QUrl& page,
                        const std::function<void(const QByteArray& typed)>& type) {
        Q_UNUSED(type);
        QNetworkReply* reply = browser.get(QNetworkRequest(page));
        QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
    }
};

class OneDrive : public Drive {
public:
    bool listen() override { return graph.listen(); }
    QJsonObject deployment() const override {
        return {{QStringLiteral("oneDrive"),
                 QJsonObject{{QStringLiteral("clientId"), QStringLiteral("cli-test")},
                             {QStringLiteral("authority"), graph.authority().toString()},
                             {QStringLiteral("graphEndpoint"), graph.graphEndpoint().toString()}}}};
    }
    QList<QByteArray> copies(const QString& name) const override {
        return contentsOf(graph.items(),
                          [&](const auto& item) { return !item.isFolder && item.name == name; });
    }
    void setFailure(int status) override { graph.setFailure(status); }
    testing::FakeGraphServer graph;
};

class GoogleDrive : public Drive {
public:
    bool listen() override { return drive.listen(); }
    QJsonObject deployment() const override {
        return {{QStringLiteral("gDrive"),
                 QJsonObject{{QStringLiteral("clientId"), QStringLiteral("cli-test")},
                             {QStringLiteral("clientSecret"), QStringLiteral("secret")},
                             {QStringLiteral("authorizeUrl"), drive.authorizeUrl().toString()},
                             {QStringLiteral("tokenUrl"), drive.tokenUrl().toString()},
                             {QStringLiteral("apiHost"), drive.baseUrl().toString()}}}};
    }
    QList<QByteArray> copies(const QString& name) const override {
        return contentsOf(drive.named(name), [](const auto&) { return true; });
    }
    void setFailure(int status) override { drive.setFailure(status); }
    testing::FakeGDriveServer drive;
};

class Dropbox : public Drive {
public:
    bool listen() override { return box.listen(); }
    QJsonObject deployment() const override {
        return {{QStringLiteral("dropbox"),
                 QJsonObject{{QStringLiteral("appKey"), QStringLiteral("cli-test")},
                             {QStringLiteral("authorizeUrl"), box.authorizeUrl().toString()},
                             {QStringLiteral("apiHost"), box.apiHost().toString()},
                             {QStringLiteral("contentHost"), box.contentHost().toString()}}}};
    }
    QList<QByteArray> copies(const QString& name) const override {
        const auto entry = box.entries().find(QStringLiteral("/") + name.toLower());
        return entry == box.entries().end() ? QList<QByteArray>{}
                                            : QList<QByteArray>{entry->content};
    }
    void setFailure(int status) override { box.setFailure(status); }
    testing::FakeDropboxServer box;
};

class Box : public Drive {
public:
    bool listen() override { return box.listen(); }
    QJsonObject deployment() const override {
        return {
            {QStringLiteral("box"),
             QJsonObject{{QStringLiteral("clientId"), testing::FakeBoxServer::kClientId},
                         {QStringLiteral("clientSecret"), testing::FakeBoxServer::kClientSecret},
                         {QStringLiteral("authorizeHost"), box.apiUrl().toString()},
                         {QStringLiteral("apiHost"), box.apiUrl().toString()},
                         {QStringLiteral("uploadHost"), box.uploadUrl().toString()}}}};
    }
    QList<QByteArray> copies(const QString& name) const override {
        return contentsOf(box.items(), [&](const auto& item) {
            return item.type == QLatin1String("file") && item.name == name;
        });
    }
    void setFailure(int status) override { box.setFailure(status); }
    /// The page sends the browser to an address of Box's own scheme, which the user pastes.
    void signIn(QNetworkAccessManager& browser, const QUrl& page,
                const std::function<void(const QByteArray&)>& type) override {
        QNetworkRequest request(page);
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             QNetworkRequest::ManualRedirectPolicy);
        QNetworkReply* reply = browser.get(request);
        QObject::connect(reply, &QNetworkReply::finished, reply, [reply, type] {
            reply->deleteLater();
            type(reply->rawHeader("Location") + '\n');
        });
    }
    testing::FakeBoxServer box;
};

class HiDrive : public Drive {
public:
    bool listen() override { return drive.listen(); }
    QJsonObject deployment() const override {
        return {{QStringLiteral("hiDrive"),
                 QJsonObject{
                     {QStringLiteral("clientId"), testing::FakeHiDriveServer::kClientId},
                     {QStringLiteral("clientSecret"), testing::FakeHiDriveServer::kClientSecret},
                     {QStringLiteral("accountHost"), drive.accountUrl().toString()},
                     {QStringLiteral("apiHost"), drive.apiUrl().toString()}}}};
    }
    QList<QByteArray> copies(const QString& name) const override {
        return contentsOf(drive.items(),
                          [&](const auto& item) { return !item.isDir && item.name == name; });
    }
    void setFailure(int status) override { drive.setFailure(status); }
    /// The page shows a code, which the user types.
    void signIn(QNetworkAccessManager& browser, const QUrl& page,
                const std::function<void(const QByteArray&)>& type) override {
        QNetworkReply* reply = browser.get(QNetworkRequest(page));
        QObject::connect(reply, &QNetworkReply::finished, reply, [reply, type] {
            reply->deleteLater();
            const QString html = QString::fromUtf8(reply->readAll());
            type(QRegularExpression(QStringLiteral("<b>([^<]+)</b>"))
                     .match(html)
                     .captured(1)
                     .toUtf8() +
                 '\n');
        });
    }
    testing::FakeHiDriveServer drive;
};

std::unique_ptr<Drive> makeDrive(const QString& provider) {
    if (provider == QLatin1String("box")) {
        return std::make_unique<Box>();
    }
    if (provider == QLatin1String("hidrive")) {
        return std::make_unique<HiDrive>();
    }
    if (provider == QLatin1String("gdrive")) {
        return std::make_unique<GoogleDrive>();
    }
    if (provider == QLatin1String("dropbox")) {
        return std::make_unique<Dropbox>();
    }
    return std::make_unique<OneDrive>();
}

class KeskorCliCloudTest : public CliTestBase, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        drive = makeDrive(provider);
        ASSERT_TRUE(drive->listen());
        dir.write(QStringLiteral("deployment.json"), QJsonDocument(drive->deployment()).toJson());
        cli.setEnv(QStringLiteral("KESKOR_DEPLOYMENT"),
                   dir.file(QStringLiteral("deployment.json")));
    }

    /// Runs a cloud command on the drive; a sign-in address it prints is followed as a browser
    /// would.
    CliResult cloud(const QString& action, const QStringList& arguments = {}) {
        return cli.run(QStringList{QStringLiteral("cloud"), action, provider} + arguments, {},
                       60000, [this](const QString& err, QProcess& process) {
                           const QRegularExpressionMatch m =
                               QRegularExpression(QStringLiteral("Sign in at: (\\S+)")).match(err);
                           if (m.hasMatch()) {
                               ++signIns;
                               drive->signIn(
                                   browser, QUrl(m.captured(1)),
                                   [&process](const QByteArray& typed) { process.write(typed); });
                           }
                       });
    }

    const QString provider = QString::fromLatin1(GetParam());
    std::unique_ptr<Drive> drive;
    QNetworkAccessManager browser;
    int signIns = 0;
};

TEST_P(KeskorCliCloudTest, PushEditPushPullRoundTrip) {
    createDatabase();
    CliResult r = cloud(QStringLiteral("push"), {db});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(signIns, 1);
    EXPECT_EQ(drive->copies(QStringLiteral("family.pswe")), QList<QByteArray>{bytes(db)});

    // Edited locally and pushed again: the drive's copy is replaced, not doubled, and the
    // sign-in kept in the keychain serves the second run.
    ok({QStringLiteral("add"), db, QStringLiteral("Mail"), QStringLiteral("-u"),
        QStringLiteral("ann")});
    r = cloud(QStringLiteral("push"), {db});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(signIns, 1);
    EXPECT_EQ(drive->copies(QStringLiteral("family.pswe")), QList<QByteArray>{bytes(db)});

    r = cloud(QStringLiteral("ls"));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.trimmed(), QStringLiteral("family.pswe"));

    const QString copy = dir.file(QStringLiteral("copy.pswe"));
    r = cloud(QStringLiteral("pull"), {QStringLiteral("family.pswe"), copy});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(bytes(copy), bytes(db));
    const CliResult shown = run({QStringLiteral("show"), copy, QStringLiteral("Mail")});
    EXPECT_EQ(shown.exitCode, 0) << shown.err.toStdString();
    EXPECT_EQ(QFile(copy).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup),
              QFileDevice::Permissions());
}

TEST_P(KeskorCliCloudTest, RefusesWhatWouldLoseData) {
    createDatabase();
    const CliResult first = cloud(QStringLiteral("push"), {db});
    ASSERT_EQ(first.exitCode, 0) << first.err.toStdString();

    // Not a database: nothing goes up.
    dir.write(QStringLiteral("notes.txt"), "shopping list\n");
    const QString notes = dir.file(QStringLiteral("notes.txt"));
    CliResult r = cloud(QStringLiteral("push"), {notes});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(drive->copies(QStringLiteral("family.pswe")).size(), 1);

    // A local file is not replaced by a pull unless asked.
    const QByteArray before = bytes(notes);
    r = cloud(QStringLiteral("pull"), {QStringLiteral("family.pswe"), notes});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(bytes(notes), before);

    r = cloud(QStringLiteral("pull"),
              {QStringLiteral("missing.pswe"), dir.file(QStringLiteral("m.pswe"))});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("missing.pswe"))) << r.err.toStdString();

    // A failing service reports a failure instead of claiming the upload.
    drive->setFailure(500);
    r = cloud(QStringLiteral("push"), {db});
    EXPECT_EQ(r.exitCode, 1);
    drive->setFailure(0);

    EXPECT_EQ(cloud(QStringLiteral("nosuchaction")).exitCode, 2);
    EXPECT_EQ(
        run({QStringLiteral("cloud"), QStringLiteral("ls"), QStringLiteral("floppy")}).exitCode, 2);
}

INSTANTIATE_TEST_SUITE_P(Drives, KeskorCliCloudTest,
                         ::testing::Values("onedrive", "gdrive", "dropbox", "box", "hidrive"));

} // namespace
} // namespace keskor::test
