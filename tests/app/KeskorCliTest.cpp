// keskor-cli run as a subprocess in a temporary home: a whole session from create to edit, the
// key-file-only form, and the command lines and inputs that must fail cleanly.

#include "tests/app/CliTestBase.h"
#include "tests/support/TempDir.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace keskor;
using keskor::test::CliResult;
using keskor::test::TempDir;

namespace {

class KeskorCliTest : public keskor::test::CliTestBase {};

TEST_F(KeskorCliTest, ASessionFromCreateToEdit) {
    createDatabase();
    EXPECT_TRUE(QFile::exists(db));
    ok({"mkdir", db, "Banking"});
    ok({"mkdir", db, "Banking/Online"});
    const CliResult added = run({"add", db, "Banking/Online/My bank", "-u", "alice", "--url",
                                 "https://bank.example", "--password-stdin", "--field", "PIN=4711",
                                 "--category", "Finance", "--expiry", "2030-01-31"},
                                kMaster + "entry-secret\n");
    ASSERT_EQ(added.exitCode, 0) << added.err.toStdString();
    const QString uuid = added.out.trimmed();
    EXPECT_TRUE(uuid.startsWith(u'{')) << uuid.toStdString();
    ok({"add", db, "Grüße \\/ Ä", "--generate", "-L", "30", "-n"});

    const CliResult tree = run({"ls", "-R", db});
    EXPECT_EQ(tree.out, QStringLiteral("Banking/\n  Online/\n    My bank\nGrüße \\/ Ä\n"));
    const CliResult json = run({"ls", "-R", "--json", "--type", "password", db});
    const QJsonArray items = QJsonDocument::fromJson(json.out.toUtf8()).array();
    ASSERT_EQ(items.size(), 2) << json.out.toStdString();
    EXPECT_EQ(items[0].toObject().value("path").toString(),
              QStringLiteral("Banking/Online/My bank"));
    EXPECT_EQ(items[0].toObject().value("uuid").toString(), uuid);
    EXPECT_EQ(items[1].toObject().value("description").toString(), QStringLiteral("Grüße / Ä"));

    const CliResult shown = run({"show", db, "Banking/Online/My bank"});
    EXPECT_TRUE(shown.out.contains(QStringLiteral("Password: PROTECTED")))
        << shown.out.toStdString();
    EXPECT_FALSE(shown.out.contains(QStringLiteral("entry-secret")));
    EXPECT_TRUE(shown.out.contains(QStringLiteral("UserName: alice")));
    EXPECT_TRUE(shown.out.contains(QStringLiteral("PIN: 4711")));
    EXPECT_TRUE(shown.out.contains(QStringLiteral("Expires: 2030-01-31")));
    EXPECT_EQ(run({"show", db, "--uuid", uuid, "-a", "password"}).out,
              QStringLiteral("entry-secret\n"));
    const QString generated = run({"show", db, "Grüße \\/ Ä", "-a", "Password"}).out.trimmed();
    EXPECT_EQ(generated.size(), 30);
    EXPECT_TRUE(
        std::all_of(generated.begin(), generated.end(), [](QChar c) { return c.isDigit(); }));

    ok({"edit", db, "Banking/Online/My bank", "-u", "bob", "--field", "PIN="});
    const CliResult edited = run({"show", db, "Banking/Online/My bank"});
    EXPECT_TRUE(edited.out.contains(QStringLiteral("UserName: bob")));
    EXPECT_FALSE(edited.out.contains(QStringLiteral("PIN")));
    EXPECT_EQ(run({"search", db, "BOB"}).out, QStringLiteral("Banking/Online/My bank\n"))
        << "the search looks at user names, whatever their case";
    EXPECT_EQ(run({"search", db, "bank"}).out,
              QStringLiteral("Banking/\nBanking/Online/My bank\n"));
    EXPECT_EQ(run({"search", db, "nowhere"}).exitCode, 1);

    ok({"mv", db, "Banking/Online/My bank", ""});
    ok({"rm", db, "-R", "Banking"});
    EXPECT_EQ(run({"ls", db}).out, QStringLiteral("Grüße \\/ Ä\nMy bank\n"));
    EXPECT_TRUE(run({"recent"}).out.contains(db));
    EXPECT_FALSE(QDir(cli.home() + QStringLiteral("/documents/Backups")).isEmpty())
        << "saves make backups as in the desktop program";
}

TEST_F(KeskorCliTest, AWrongPasswordFailsWithoutATraceAndChangesNothing) {
    createDatabase();
    const QByteArray before = bytes(db);
    const CliResult r = run({"add", db, "x"}, "not the password\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_FALSE(r.crashed);
    EXPECT_TRUE(r.err.contains(QStringLiteral("wrong"))) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QStringLiteral("terminate")));
    EXPECT_EQ(bytes(db), before);
    EXPECT_EQ(run({"ls", dir.file(QStringLiteral("missing.pswe"))}).exitCode, 1);
}

TEST_F(KeskorCliTest, AnAmbiguousPathListsTheCandidatesAndChangesNothing) {
    createDatabase();
    const QString first = run({"add", db, "Twin"}).out.trimmed();
    const QString second = run({"add", db, "Twin"}).out.trimmed();
    const QByteArray before = bytes(db);
    const CliResult r = run({"rm", db, "Twin"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(first) && r.err.contains(second)) << r.err.toStdString();
    EXPECT_EQ(bytes(db), before);
    ok({"rm", db, "--uuid", second});
    EXPECT_EQ(run({"ls", "--json", db}).out.count(QStringLiteral("\"uuid\"")), 1);
}

TEST_F(KeskorCliTest, TheMasterPasswordRulesHoldEvenWithForceWeak) {
    const QStringList create{"create", db, "--kdf-memory", "8", "--kdf-passes", "1"};
    for (const QStringList& arguments : {create, create + QStringList{"--force-weak"}}) {
        const CliResult refused = run(arguments, "Short-1\n");
        EXPECT_EQ(refused.exitCode, 1);
        EXPECT_TRUE(refused.err.contains(QStringLiteral("at least 15 characters")))
            << refused.err.toStdString();
        EXPECT_EQ(run(arguments, "alllowercaseletters\n").exitCode, 1) << "three groups needed";
        EXPECT_FALSE(QFile::exists(db));
    }
    createDatabase();
    const QByteArray before = bytes(db);
    EXPECT_EQ(run(create).exitCode, 1) << "an existing file is never overwritten";
    EXPECT_EQ(bytes(db), before);
}

TEST_F(KeskorCliTest, CommandLinesThatDoNotFitEndWithAClearErrorAndNoOutput) {
    struct Case {
        QStringList arguments;
        int exitCode;
        const char* error; // how the error text starts
    };
    const QList<Case> cases{
        {{}, 2, "Usage: keskor-cli COMMAND"},
        {{"frobnicate"}, 2, "keskor-cli: unknown command"},
        {{"ls"}, 2, "keskor-cli ls: "},
        {{"ls", "a", "b", "c"}, 2, "keskor-cli ls: "},
        {{"ls", "--no-such-option", "db"}, 2, "keskor-cli ls: "},
        {{"show", db, "--uuid"}, 2, "keskor-cli show: "},
        {{"add", db, "x", "--expiry", "tomorrow"}, 2, "keskor-cli add: "},
        {{"add", db, "x", "--generate", "--password-stdin"}, 2, "keskor-cli add: "},
        {{"generate", "-L", "0"}, 2, "keskor-cli generate: "},
        {{"generate", "-L", "100000"}, 2, "keskor-cli generate: "},
        {{"generate", "--percent", "150,0,0,0,0"}, 2, "keskor-cli generate: "},
        {{"generate", "--percent", "a,b,c,d,e"}, 2, "keskor-cli generate: "},
        {{"generate", "--selected", ""}, 2, "keskor-cli generate: "},
        // One repeated character cannot make a password without equal neighbours.
        {{"generate", "--custom", "aaaa", "--percent", "0,0,0,0,100", "--exclude-identical", "-L",
          "8"},
         1,
         "keskor-cli generate: "},
        {{"generate", "-c", "0"}, 2, "keskor-cli generate: "},
        {{"generate", "--tries", "many"}, 2, "keskor-cli generate: "},
    };
    createDatabase();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        const CliResult r = run(c.arguments);
        EXPECT_FALSE(r.crashed);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
        EXPECT_TRUE(r.err.startsWith(QLatin1String(c.error))) << r.err.toStdString();
    }
    for (const char* help : {"--help", "ls --help", "help create", "--version"}) {
        const CliResult r = run(QString::fromLatin1(help).split(u' '));
        EXPECT_EQ(r.exitCode, 0) << help;
        EXPECT_FALSE(r.out.isEmpty()) << help;
    }
    EXPECT_TRUE(run({"ls", "--help"}).out.contains(QStringLiteral("--category C")));
    const CliResult man = run({"--man"});
    EXPECT_TRUE(man.out.startsWith(QStringLiteral(".TH KESKOR-CLI 1")));
    EXPECT_TRUE(man.out.contains(QStringLiteral(".SS show DB ENTRY")));
}

TEST_F(KeskorCliTest, AReaderThatGoesAwayEndsTheOutputOnly) {
    createDatabase();
    for (int i = 0; i < 3; ++i) {
        ok({"add", db, QStringLiteral("entry %1").arg(i)});
    }
    // A shell pipe into a reader that exits at once.
    QProcess shell;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KESKOR_HOME"), cli.home());
    shell.setProcessEnvironment(env);
    shell.start(
        QStringLiteral("bash"),
        {QStringLiteral("-c"),
         QStringLiteral("set -o pipefail; printf '%1' | '%2' ls -R '%3' | true; echo $?")
             .arg(QString::fromUtf8(kMaster.trimmed()), QStringLiteral(KESKOR_CLI_BINARY), db)});
    ASSERT_TRUE(shell.waitForFinished(60000));
    const QString status = QString::fromUtf8(shell.readAllStandardOutput()).trimmed();
    EXPECT_TRUE(status == QStringLiteral("0") || status == QStringLiteral("1"))
        << status.toStdString();
    EXPECT_EQ(run({"ls", db}).out.count(u'\n'), 3) << "the database is intact";
}

// How the files map to entries is the importers' tests; here the format is told apart and
// the result lands in the database.
TEST_F(KeskorCliTest, ImportsKeePassXmlAndCsvIntoTheDatabase) {
    createDatabase();
    dir.write(QStringLiteral("kp.xml"),
              "<KeePassFile><Root><Group><Name>Root</Name><Group><Name>Bänke</Name><Entry>"
              "<String><Key>Title</Key><Value>Sparkasse</Value></String><String><Key>PIN</Key>"
              "<Value>1234</Value></String></Entry></Group></Group></Root></KeePassFile>");
    dir.write(QStringLiteral("in.txt"), "Title,Password,Group\r\n\"Büro, Tür\",p1,Arbeit/Team\r\n");
    const CliResult kp = run({"import", db, dir.file(QStringLiteral("kp.xml"))});
    ASSERT_EQ(kp.exitCode, 0) << kp.err.toStdString();
    EXPECT_EQ(kp.out, QStringLiteral("Imported 1 entry in 1 folder.\n"));
    ok({"import", db, dir.file(QStringLiteral("in.txt")), "--format", "csv"});
    EXPECT_EQ(run({"ls", "-R", db}).out,
              QStringLiteral("Bänke/\n  Sparkasse\nArbeit/\n  Team/\n    Büro, Tür\n"));
    EXPECT_EQ(run({"show", db, "Bänke/Sparkasse", "-a", "PIN"}).out, QStringLiteral("1234\n"));
    EXPECT_EQ(run({"show", db, "Arbeit/Team/Büro, Tür", "-a", "password"}).out,
              QStringLiteral("p1\n"));
}

TEST_F(KeskorCliTest, AKdbxFileWithKeyFileImportsAfterTheDatabasePassword) {
    createDatabase();
    const QString data = QStringLiteral(KESKOR_SOURCE_DIR "/tests/data/kdbx/");
    const QString kdbx = data + QStringLiteral("keyfile-argon2d.kdbx");
    const QByteArray answers = kMaster + "fixture-Pass\n";
    EXPECT_EQ(run({"import", db, kdbx}, answers).exitCode, 1) << "the key file is needed";
    const CliResult r = run(
        {"import", db, kdbx, "--kdbx-key-file", data + QStringLiteral("keyfile.keyx")}, answers);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("Imported 2 entries in 1 folder.\n"));
    EXPECT_EQ(run({"ls", "-R", db}).out, QStringLiteral("Bank\nMail/\n  Gmail\n"));
}

TEST_F(KeskorCliTest, AnImportFileBadAtSomeLineImportsNothing) {
    createDatabase();
    ok({"add", db, "Kept"});
    const QByteArray before = bytes(db);
    dir.write(QStringLiteral("bad.csv"), "Title,Password\nfine,p\n\"open,p\n");
    dir.write(QStringLiteral("bad.xml"), "<KeePassFile><Root><Group><Name>R</Name>\n<Entry>\n"
                                         "</Group></Root></KeePassFile>");
    dir.write(QStringLiteral("nothing.csv"), "Name,Colour\nx,red\n");
    struct Case {
        const char* file;
        const char* message;
    };
    for (const Case& c :
         {Case{"bad.csv", "line 3"}, Case{"bad.xml", "line 3"}, Case{"nothing.csv", "password"}}) {
        const CliResult r = run({"import", db, dir.file(QString::fromLatin1(c.file))});
        EXPECT_EQ(r.exitCode, 1) << c.file;
        EXPECT_TRUE(r.err.contains(QString::fromLatin1(c.message), Qt::CaseInsensitive))
            << c.file << ": " << r.err.toStdString();
        EXPECT_EQ(bytes(db), before) << c.file;
    }
    EXPECT_EQ(run({"import", db, dir.file(QStringLiteral("bad.csv")), "--format", "yaml"}).exitCode,
              2);
    EXPECT_EQ(run({"import", db, dir.file(QStringLiteral("missing.csv"))}).exitCode, 1);
}

TEST_F(KeskorCliTest, EveryFileAndFolderOfASessionIsPrivateWhateverTheUmask) {
    const mode_t previous = ::umask(022);
    const QString key = dir.file(QStringLiteral("door")) + QStringLiteral(".krk");
    const QString keyed = dir.file(QStringLiteral("keyed.pswe"));
    const QString exported = dir.file(QStringLiteral("export.xml"));
    createDatabase();
    ok({"add", db, "Mail", "-u", "alice"});
    ok({"export", db, exported});
    ok({"keyfile", key.chopped(4)}, {});
    ok({"create", keyed, "--key-file", key, "--kdf-memory", "8", "--kdf-passes", "1"});
    ok({"backups", db});
    run({"clip", db, "Mail"}); // fails without a display; whatever it made is checked too
    ok({"settings", "set", "setting_addon_protect_password", "bridge-Secret-1"}, {});
    ::umask(previous);
    QStringList paths{db, exported, key, keyed, cli.home()};
    for (QDirIterator it(cli.home(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
         it.hasNext();) {
        paths.append(it.next());
    }
    ASSERT_GE(paths.size(), 8) << "the backups and settings are among them";
    for (const QString& path : paths) {
        struct stat st {};
        ASSERT_EQ(::lstat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
        EXPECT_EQ(st.st_mode & 0777, S_ISDIR(st.st_mode) ? 0700u : 0600u) << path.toStdString();
    }
}

/// Every file below `root` with its time of change (a write replaces the file).
QMap<QString, QDateTime> snapshot(const QString& root) {
    QMap<QString, QDateTime> files;
    for (QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
         it.hasNext();) {
        files.insert(it.next(), it.fileInfo().lastModified());
    }
    return files;
}

TEST_F(KeskorCliTest, ReadOnlyCommandsLeaveTheProfileAndTheDatabaseAsTheyWere) {
    createDatabase();
    ok({"add", db, "Mail", "-u", "alice", "--url", "https://mail.example"});
    ok({"settings", "set", "setting_backup_on_opening", "true"}, {});
    const auto before = snapshot(dir.path());
    ok({"ls", "-R", db});
    ok({"show", db, "Mail"});
    ok({"search", db, "alice"});
    ok({"export", db, "-"});
    ok({"analyze", db});
    ok({"clean", db, "--never-used", "--delete", "--dry-run"});
    ok({"replace", db, "alice", "bob", "--dry-run"});
    EXPECT_EQ(snapshot(dir.path()), before);
    ok({"mkdir", db, "Work"});
    EXPECT_NE(snapshot(dir.path()), before) << "a change is seen by the comparison";
}

TEST_F(KeskorCliTest, MissingFoldersAreMadeOnlyWhenAskedAndQuietLeavesOnlyTheData) {
    createDatabase();
    EXPECT_EQ(run({"mkdir", db, "Work/Mail"}).exitCode, 1);
    ok({"mkdir", "-p", db, "Work/Mail"});
    const QByteArray made = bytes(db);
    ok({"mkdir", "-p", db, "Work/Mail"});
    EXPECT_EQ(bytes(db), made);
    EXPECT_EQ(run({"add", db, "Home/Bank/Login"}).exitCode, 1);
    ok({"add", "--parents", db, "Work/Mail/Inbox", "--username", "alice"});
    ok({"add", "--parents", db, "Home/Bank/Login"});
    EXPECT_EQ(run({"ls", "-R", db}).out,
              QStringLiteral("Work/\n  Mail/\n    Inbox\nHome/\n  Bank/\n    Login\n"));
    EXPECT_EQ(run({"show", db, "Work/Mail/Inbox", "-a", "UserName"}).out,
              QStringLiteral("alice\n"));
    const QString xml = dir.file(QStringLiteral("out.xml"));
    const CliResult quiet = run({"export", "--quiet", db, xml});
    EXPECT_EQ(quiet.out + quiet.err, QString());
    EXPECT_FALSE(run({"export", db, xml}).err.isEmpty()) << "without it the warning is shown";
    EXPECT_EQ(run({"import", "-q", db, xml}).out, QString());
}

} // namespace
