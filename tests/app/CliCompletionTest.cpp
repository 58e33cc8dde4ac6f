// The bash completion the build writes for keskor-cli, run by bash on command lines as they are
// typed: commands, options, database and other file names, and the words of an argument.

#include "tests/support/QtPrinters.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QProcess>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

using keskor::test::TempDir;

QString quoted(QString word) {
    return u'\'' + word.replace(u'\'', QStringLiteral("'\\''")) + u'\'';
}

TEST(CliCompletionTest, BashProposesCommandsOptionsDatabasesAndDriveNames) {
    TempDir dir;
    for (const char* name : {"my vault.pswe", "Old.PSWD", "notes.txt"}) {
        dir.write(QString::fromLatin1(name), "x");
    }
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    const QString d = dir.path() + u'/';
    const QStringList databases{d + "Old.PSWD", d + "my vault.pswe", d + "sub"};
    struct Case {
        QStringList words; // the last one is being completed
        QStringList expected;
    };
    const QList<Case> cases{
        {{"cl"}, {"clean", "clip", "cloud"}},
        {{"help", "exp"}, {"export"}},
        {{"cloud", "l"}, {"login", "logout", "ls"}},
        {{"cloud", "pull", ""}, {"box", "dropbox", "gdrive", "hidrive", "onedrive"}},
        {{"cloud", "push", "box", d},
         {d + "Old.PSWD", d + "my vault.pswe", d + "notes.txt", d + "sub"}},
        {{"cloud", "pull", "box", "Name", "--fo"}, {"--force"}},
        {{"show", d}, databases},
        {{"show", "-q", "--key-file", d + "n", d}, databases},
        {{"show", d + "Old.PSWD", ""}, {}},
        {{"ls", "--category", "Work", "--key-file", d + "no"}, {d + "notes.txt"}},
        {{"ls", "--ca"}, {"--category"}},
        {{"generate", "--profile", d}, {d + "sub"}},
        {{"settings", ""}, {"get", "list", "reset", "set"}},
        {{"frobnicate", ""}, {}},
    };
    QString script = QStringLiteral("source %1 || exit 1\ncomplete -p keskor-cli\necho ::\n")
                         .arg(quoted(QStringLiteral(KESKOR_BASH_COMPLETION)));
    for (const Case& c : cases) {
        QStringList words{QStringLiteral("keskor-cli")};
        for (const QString& w : c.words) {
            words.append(quoted(w));
        }
        script += QStringLiteral("COMP_WORDS=(%1); COMP_CWORD=%2; _keskor_cli 2>/dev/null\n"
                                 "printf '%s\\n' \"${COMPREPLY[@]}\" | LC_ALL=C sort; echo ::\n")
                      .arg(words.join(u' '))
                      .arg(c.words.size());
    }
    QProcess bash;
    bash.start(QStringLiteral("bash"), {QStringLiteral("--norc"), QStringLiteral("-c"), script});
    ASSERT_TRUE(bash.waitForFinished(30000));
    ASSERT_EQ(bash.exitCode(), 0) << bash.readAllStandardError().toStdString();
    QStringList answers = QString::fromUtf8(bash.readAllStandardOutput())
                              .split(QStringLiteral("::\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(answers.size(), cases.size() + 1);
    EXPECT_TRUE(answers.takeFirst().startsWith(QStringLiteral("complete -F _keskor_cli")));
    for (qsizetype i = 0; i < cases.size(); ++i) {
        QStringList expected = cases[i].expected;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(answers[i].split(u'\n', Qt::SkipEmptyParts), expected)
            << cases[i].words.join(u' ').toStdString();
    }
}

} // namespace
