// keskor-cli's tool commands run as a subprocess: the generator's rules, the strength read-outs,
// export and import back, the analysis with the breach check against a range server of ours,
// key files, clean-up, find and replace, backups and settings.

#include "testing/RangeServer.h"
#include "tests/app/CliTestBase.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace keskor;
using keskor::test::CliResult;

namespace {

class KeskorCliToolsTest : public keskor::test::CliTestBase {
protected:
    QStringList lines(const QString& text) const { return text.split(u'\n', Qt::SkipEmptyParts); }
    void addEntry(const QString& path, const QByteArray& password, QStringList extra = {}) {
        ok(QStringList{QStringLiteral("add"), db, path, QStringLiteral("--password-stdin")} + extra,
           kMaster + password + '\n');
    }
    QJsonArray jsonOf(const CliResult& r) const {
        return QJsonDocument::fromJson(r.out.toUtf8()).array();
    }
};

// generate and estimate ----------------------------------------------------------------------

// The rules themselves are the generator's tests; here the options must reach it.
TEST_F(KeskorCliToolsTest, GeneratorOptionsReachTheGenerator) {
    const auto matches = [this](const QStringList& arguments, const char* pattern, int count) {
        const QStringList out = lines(run(QStringList{"generate"} + arguments, {}).out);
        EXPECT_EQ(out.size(), count) << arguments.join(u' ').toStdString();
        for (const QString& p : out) {
            EXPECT_TRUE(QRegularExpression(QString::fromLatin1(pattern)).match(p).hasMatch())
                << p.toStdString();
        }
        return out;
    };
    const QStringList passwords = matches({"-L", "17", "-n", "-s", "--at-least-one", "--tries", "3",
                                           "--exclude-identical", "-c", "50"},
                                          "^(?=.*[0-9])(?=.*[^0-9])(?!.*(.)\\1)[^A-Za-z]{17}$", 50);
    // The system's random source: 50 draws of 17 characters do not repeat.
    EXPECT_EQ(QSet<QString>(passwords.begin(), passwords.end()).size(), 50);
    matches({"--selected", "xyz", "-L", "40"}, "^[xyz]{40}$", 1);
    matches({"--simple", "-n", "-L", "30"}, "^[0-9]{30}$", 1);
}

// Refused generator options are in KeskorCliTest's table of command lines.

TEST_F(KeskorCliToolsTest, EstimateGivesTheSameReadOutsFromTheArgumentAndFromStandardInput) {
    const CliResult fromArgument = run({"estimate", "Tr0ub4dour&3"}, {});
    ASSERT_EQ(fromArgument.exitCode, 0) << fromArgument.err.toStdString();
    EXPECT_EQ(fromArgument.out, run({"estimate"}, "Tr0ub4dour&3\n").out);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Length: 12 characters;.*\\nCould be cracked "
                                                  "in:.*\\nEntropy: \\d+ bits\\n$"))
                    .match(fromArgument.out)
                    .hasMatch())
        << fromArgument.out.toStdString();
}

// export and import --------------------------------------------------------------------------

TEST_F(KeskorCliToolsTest, ExportImportExportGivesTheSameDocumentAndAFolderExportsAlone) {
    createDatabase();
    ok({"mkdir", db, "Web"});
    ok({"mkdir", db, "Web/Shops"});
    addEntry("Web/Shops/Käse & <Co>", "p\"w'<&>",
             {"-u", "jörg", "--url", "https://k.example/?a=1&b=2", "--comment",
              "line one\nline two \u00e9", "--field", "PIN=0042", "--tags", "x;y"});
    addEntry("Web/Mail", "mail-secret", {"--category", "Privat"});
    const QString first = dir.file(QStringLiteral("first.xml"));
    ok({"export", db, first});

    // Well-formed XML and every value is checked by the writer's own tests; here the values
    // must come through the command line into the document.
    const QString exported = QString::fromUtf8(bytes(first));
    for (const char* value : {"p&quot;w&apos;&lt;&amp;&gt;", "jörg",
                              "https://k.example/?a=1&amp;b=2", "mail-secret", "0042"}) {
        EXPECT_TRUE(exported.contains(QString::fromUtf8(value))) << value;
    }

    const QString copy = dir.file(QStringLiteral("copy.pswe"));
    createDatabase(copy);
    const CliResult imported = run({"import", copy, first});
    ASSERT_EQ(imported.exitCode, 0) << imported.err.toStdString();
    EXPECT_EQ(imported.out, QStringLiteral("Imported 2 entries in 2 folders.\n"));
    const QString second = dir.file(QStringLiteral("second.xml"));
    ok({"export", copy, second});

    // The header speaks of the database itself (its fingerprint, its change and the export
    // time); everything else is the same to the byte.
    const auto body = [this](const QString& path) {
        QByteArray text = bytes(path);
        for (const char* tag : {"lastmodified", "datetime", "fingerprint"}) {
            const QByteArray open = QByteArray("<") + tag;
            const QByteArray close = QByteArray("</") + tag + '>';
            const qsizetype from = text.indexOf(open);
            const qsizetype to = text.indexOf(close, from);
            if (from >= 0 && to > from && from < text.indexOf("</header>")) {
                text.remove(from, to + close.size() - from);
            }
        }
        return text;
    };
    EXPECT_EQ(body(first), body(second));
    EXPECT_NE(bytes(first), bytes(second));

    // One folder, with or without the folders below it.
    const QString part = dir.file(QStringLiteral("part.xml"));
    ok({"export", db, part, "--folder", "Web/Shops"});
    EXPECT_TRUE(bytes(part).contains("line two"));
    EXPECT_FALSE(bytes(part).contains("mail-secret"));
    ok({"export", db, part, "--folder", "Web"});
    EXPECT_TRUE(bytes(part).contains("line two"));
    ok({"export", db, part, "--folder", "Web", "--no-subfolders"});
    EXPECT_TRUE(bytes(part).contains("mail-secret"));
    EXPECT_FALSE(bytes(part).contains("line two"));
    EXPECT_EQ(run({"export", db, part, "--folder", "Nowhere"}).exitCode, 1);
    EXPECT_TRUE(bytes(part).contains("mail-secret")) << "a failed export keeps the earlier file";
}

// analyze and the breach check -----------------------------------------------------------------

class KeskorCliBreachTest : public KeskorCliToolsTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.listen());
        // The service comes from the deployment file, as in a private installation.
        dir.write(QStringLiteral("deployment.json"),
                  QStringLiteral(R"({"pwned": {"baseUrl": "%1", "apiKey": "key-of-the-test"}})")
                      .arg(server.baseUrl().toString())
                      .toUtf8());
        cli.setEnv(QStringLiteral("KESKOR_DEPLOYMENT"),
                   dir.file(QStringLiteral("deployment.json")));
    }
    keskor::testing::RangeServer server;
};

TEST_F(KeskorCliBreachTest, AnalyzeSortsWeakestFirstAndAsksOncePerPrefix) {
    createDatabase();
    addEntry("Strong", "Vq8#mZ2!rT7@kL4$wN9%");
    addEntry("Weak", "password");
    addEntry("Weak again", "password");
    addEntry("Middle", "sunshine-42");
    server.addPassword(QStringLiteral("password"), 9545824);

    const CliResult plain = run({"analyze", db, "--sort", "entropy", "--json"});
    ASSERT_EQ(plain.exitCode, 0) << plain.err.toStdString();
    const QJsonArray rows = jsonOf(plain);
    ASSERT_EQ(rows.size(), 4) << plain.out.toStdString();
    EXPECT_LT(rows[0].toObject().value("entropy").toInt(),
              rows[2].toObject().value("entropy").toInt());
    EXPECT_EQ(rows[3].toObject().value("path").toString(), QStringLiteral("Strong"));
    EXPECT_FALSE(rows[0].toObject().contains("breached"));
    EXPECT_TRUE(server.requests().isEmpty()) << "nothing is sent without --pwned";

    const CliResult checked = run({"analyze", db, "--pwned", "--json"});
    ASSERT_EQ(checked.exitCode, 0) << checked.err.toStdString();
    QHash<QString, qint64> breached;
    for (const QJsonValue& row : jsonOf(checked)) {
        breached.insert(row.toObject().value("path").toString(),
                        row.toObject().value("breached").toInteger(-1));
    }
    EXPECT_EQ(breached.value("Weak"), 9545824);
    EXPECT_EQ(breached.value("Weak again"), 9545824);
    EXPECT_EQ(breached.value("Strong"), 0);
    EXPECT_EQ(breached.value("Middle"), 0);
    // Three distinct passwords, three prefixes, each sent once with the key and nothing more.
    ASSERT_EQ(server.requests().size(), 3);
    QSet<QByteArray> targets;
    for (const auto& request : server.requests()) {
        targets.insert(request.target);
        EXPECT_EQ(request.headers.value("hibp-api-key"), QByteArray("key-of-the-test"));
    }
    EXPECT_EQ(targets.size(), 3);
    EXPECT_TRUE(targets.contains("/range/5BAA6"));

    server.setStatus(503);
    const CliResult failed = run({"analyze", db, "--pwned"});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_TRUE(failed.out.isEmpty()) << "no partial list";
}

TEST_F(KeskorCliBreachTest, PwnedSaysHowOftenAndFailsCleanly) {
    server.addPassword(QStringLiteral("hunter2"), 17043);
    const CliResult found = run({"pwned"}, "hunter2\n");
    ASSERT_EQ(found.exitCode, 0) << found.err.toStdString();
    EXPECT_TRUE(found.out.contains(QStringLiteral("17043"))) << found.out.toStdString();
    const CliResult clean = run({"pwned"}, "not-in-any-breach-8d2f\n");
    ASSERT_EQ(clean.exitCode, 0) << clean.err.toStdString();
    EXPECT_NE(clean.out, found.out);
    // What goes over the wire is the client's tests; a failed check must not look clean.
    server.close();
    const CliResult refused = run({"pwned"}, "hunter2\n");
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_FALSE(refused.err.contains(QStringLiteral("hunter2")));
}

// key files, clean-up, replace -----------------------------------------------------------------

TEST_F(KeskorCliToolsTest, AKeyFileIsWrittenOnceAndOpensAKeyOnlyDatabase) {
    const QString key = dir.file(QStringLiteral("door"));
    ok({"keyfile", key}, {});
    const QByteArray first = bytes(key + QStringLiteral(".krk"));
    ASSERT_FALSE(first.isEmpty());
    EXPECT_EQ(run({"keyfile", key}, {}).exitCode, 1);
    EXPECT_EQ(bytes(key + QStringLiteral(".krk")), first);
    ok({"keyfile", key, "--force"}, {});
    EXPECT_NE(bytes(key + QStringLiteral(".krk")), first);

    const QString keyDb = dir.file(QStringLiteral("keyonly.pswe"));
    ok({"create", keyDb, "--no-password", "--key-file", key + QStringLiteral(".krk"),
        "--kdf-memory", "8", "--kdf-passes", "1"},
       {});
    ok({"ls", keyDb, "--key-file", key + QStringLiteral(".krk")}, {});
}

TEST_F(KeskorCliToolsTest, CleanListsOnDryRunAndDeletesOnlyWhenConfirmed) {
    createDatabase();
    addEntry("Old", "old-secret", {"--expiry", "2020-05-01"});
    addEntry("Current", "new-secret", {"--expiry", "2040-05-01"});
    addEntry("Forever", "no-expiry");

    const CliResult listed = run({"clean", db, "--expired-before", "2030-01-01", "--dry-run"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err.toStdString();
    // Entries without an expiry count as dated before every date.
    EXPECT_EQ(lines(listed.out), QStringList({"Old", "Forever"}));

    const QByteArray before = bytes(db);
    const CliResult refused = run({"clean", db, "--expired-before", "2030-01-01", "--delete"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(bytes(db), before) << "unconfirmed, nothing changes";

    ok({"clean", db, "--expired-before", "2030-01-01", "--delete", "--yes"});
    EXPECT_EQ(run({"ls", db}).out, QStringLiteral("Current\n"));
    EXPECT_EQ(run({"clean", db, "--dry-run"}).exitCode, 2) << "no criterion";
}

TEST_F(KeskorCliToolsTest, ReplaceFindsWithOrWithoutCaseAndReplacesAsWritten) {
    createDatabase();
    addEntry("One", "pw-1", {"-u", "Bob"});
    addEntry("Two", "pw-2", {"-u", "bob"});
    addEntry("Three", "pw-3", {"-u", "carol"});

    const CliResult exact = run({"replace", db, "bob", "alice", "--user", "--match-case", "--yes"});
    ASSERT_EQ(exact.exitCode, 0) << exact.err.toStdString();
    EXPECT_TRUE(exact.out.contains(QStringLiteral("Two: UserName"))) << exact.out.toStdString();
    EXPECT_FALSE(exact.out.contains(QStringLiteral("One")));
    EXPECT_EQ(run({"show", db, "Two", "-a", "username"}).out, QStringLiteral("alice\n"));
    EXPECT_EQ(run({"show", db, "One", "-a", "username"}).out, QStringLiteral("Bob\n"));

    const QByteArray before = bytes(db);
    EXPECT_EQ(run({"replace", db, "carol", "eve"}).exitCode, 1) << "not confirmed";
    EXPECT_EQ(bytes(db), before);
    const CliResult dry = run({"replace", db, "CAROL", "eve", "--dry-run"});
    EXPECT_EQ(dry.out, QStringLiteral("Three: UserName\n"));
    EXPECT_FALSE(dry.out.contains(QStringLiteral("carol"))) << "values are never printed";
}

// backups and settings -------------------------------------------------------------------------

TEST_F(KeskorCliToolsTest, BackupsAreListedRestoredAndDeleted) {
    // Every open makes a backup (the default): each one holds the entries before the add.
    createDatabase();
    addEntry("First", "one");
    addEntry("Second", "two");
    addEntry("Third", "three");

    const CliResult listed = run({"backups", db});
    ASSERT_EQ(listed.exitCode, 0) << listed.err.toStdString();
    const QStringList rows = lines(listed.out);
    ASSERT_GE(rows.size(), 3) << listed.out.toStdString();
    for (const QString& row : rows) {
        EXPECT_EQ(row.split(u'\t').size(), 4) << row.toStdString();
    }

    // The newest backup is the database as "Third" found it.
    const CliResult restored = run({"backups", db, "--restore", "1", "--yes"});
    ASSERT_EQ(restored.exitCode, 0) << restored.err.toStdString();
    EXPECT_EQ(run({"ls", db}).out, QStringLiteral("First\nSecond\n"));
    // The replaced version is kept as a backup of its own.
    const QString kept = QRegularExpression(QStringLiteral("kept as the backup (\\S+)\\.$"))
                             .match(restored.out.trimmed())
                             .captured(1);
    ASSERT_FALSE(kept.isEmpty()) << restored.out.toStdString();
    const CliResult after = run({"backups", db});
    EXPECT_TRUE(after.out.contains(u'\t' + kept + u'\t')) << after.out.toStdString();

    const QString deleted = lines(after.out).last().split(u'\t').value(1);
    ok({"backups", db, "--delete", QString::number(lines(after.out).size()), "--yes"});
    EXPECT_FALSE(run({"backups", db}).out.contains(deleted + u'\t'));
    EXPECT_EQ(run({"backups", db, "--delete", "99", "--yes"}).exitCode, 2);
}

TEST_F(KeskorCliToolsTest, SettingsClampAndKeepTheBridgePasswordProtected) {
    ok({"settings", "set", "setting_clipboard_clear_time", "3"}, {});
    EXPECT_EQ(run({"settings", "get", "setting_clipboard_clear_time"}, {}).out,
              QStringLiteral("10\n"));
    ok({"settings", "set", "setting_addon_protect_password", "bridge-Secret-1"}, {});
    EXPECT_EQ(run({"settings", "get", "setting_addon_protect_password"}, {}).out,
              QStringLiteral("********\n"));
    const QByteArray stored = bytes(QDir(cli.home()).filePath(QStringLiteral("settings.ini")));
    EXPECT_FALSE(stored.contains("bridge-Secret-1"));
    EXPECT_TRUE(stored.contains("setting_addon_protect_password"));
    EXPECT_TRUE(run({"settings", "list"}, {})
                    .out.contains(QStringLiteral("setting_clipboard_clear_time=10\n")));

    ok({"settings", "reset"}, {});
    EXPECT_EQ(run({"settings", "get", "setting_clipboard_clear_time"}, {}).out,
              QStringLiteral("60\n"));
    EXPECT_EQ(run({"settings", "get", "setting_addon_protect_password"}, {}).out,
              QStringLiteral("\n"));
    EXPECT_EQ(run({"settings", "get", "no_such_key"}, {}).exitCode, 2);
    EXPECT_EQ(run({"settings", "set", "setting_backup_on_saving", "maybe"}, {}).exitCode, 2);
}

TEST_F(KeskorCliToolsTest, ClipWithoutADisplaySaysSoAndCopiesNothing) {
    createDatabase();
    addEntry("Mail", "clip-secret");
    const CliResult r = run({"clip", db, "Mail"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("graphical session"))) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QStringLiteral("clip-secret")));
    EXPECT_FALSE(r.out.contains(QStringLiteral("clip-secret")));
}

} // namespace
