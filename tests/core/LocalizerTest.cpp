#include "core/Localizer.h"

#include "tests/support/TempDir.h"

#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

using namespace keskor;
using keskor::test::TempDir;

namespace {

QJsonObject table(const QString& code) {
    QFile f(QStringLiteral(":/strings/%1.json").arg(code));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << code.toStdString();
    return QJsonDocument::fromJson(f.readAll()).object();
}

TEST(LocalizerTest, ChosenLanguageAutoAndUnknownLanguages) {
    EXPECT_EQ(Localizer(QStringLiteral("de")).text(QStringLiteral("dialog_cancel")),
              QStringLiteral("Abbrechen"));
    EXPECT_EQ(Localizer(QStringLiteral("en")).text(QStringLiteral("dialog_cancel")),
              QStringLiteral("Cancel"));
    const Localizer german(QStringLiteral("auto"), QStringLiteral("26.1"), QString(),
                           QLocale(QLocale::German));
    EXPECT_EQ(german.language(), QStringLiteral("de"));
    const Localizer french(QStringLiteral("auto"), QStringLiteral("26.1"), QString(),
                           QLocale(QLocale::French));
    EXPECT_EQ(french.language(), QStringLiteral("en")) << "no French table: English";
    EXPECT_EQ(Localizer(QStringLiteral("xx")).language(), QStringLiteral("en"));
}

TEST(LocalizerTest, AppNameCarriesTheFirstTwoCharactersOfTheVersion) {
    EXPECT_EQ(
        Localizer(QStringLiteral("en"), QStringLiteral("26.1.0")).text(QStringLiteral("app_name")),
        QStringLiteral("Keskor v26"));
    EXPECT_EQ(Localizer(QStringLiteral("en"), QStringLiteral("7")).text(QStringLiteral("app_name")),
              QStringLiteral("Keskor v7"));
}

TEST(LocalizerTest, AMissingKeyShowsItselfAndPlaceholdersAreFilled) {
    TempDir dir;
    dir.write(QStringLiteral("en.json"), R"({"greeting": "Hello %1, you have %2 entries"})");
    dir.write(QStringLiteral("de.json"), R"({"other": "x"})");
    const Localizer texts(QStringLiteral("de"), QStringLiteral("26"), dir.path());
    EXPECT_EQ(texts.text(QStringLiteral("no_such_key")), QStringLiteral("no_such_key"));
    EXPECT_EQ(texts.text(QStringLiteral("greeting"), {QStringLiteral("Ana"), QStringLiteral("3")}),
              QStringLiteral("Hello Ana, you have 3 entries"))
        << "German falls back to English";
    EXPECT_EQ(texts.text(UiText::plain(QStringLiteral("as is"))), QStringLiteral("as is"));
    EXPECT_EQ(texts.lookup()(QStringLiteral("other")), QStringLiteral("x"));
}

TEST(LocalizerTest, BadTablesFallBackWithoutFailing) {
    for (const QByteArray& bad :
         {QByteArray("not json"), QByteArray("[1,2]"), QByteArray(R"({"dialog_ok": 5})")}) {
        TempDir dir;
        dir.write(QStringLiteral("de.json"), bad);
        const Localizer texts(QStringLiteral("de"), QStringLiteral("26"), dir.path());
        EXPECT_EQ(texts.text(QStringLiteral("dialog_ok")), QStringLiteral("OK")) << bad.constData();
    }
}

TEST(StringTablesTest, BothLanguagesHaveTheSameKeysAndPlaceholders) {
    const QJsonObject en = table(QStringLiteral("en"));
    const QJsonObject de = table(QStringLiteral("de"));
    ASSERT_FALSE(en.isEmpty());
    const QStringList enKeys = en.keys();
    const QStringList deKeys = de.keys();
    EXPECT_EQ(enKeys, deKeys); // both sorted by QJsonObject
    static const QRegularExpression placeholder(QStringLiteral("%\\d"));
    for (const QString& key : en.keys()) {
        QStringList a, b;
        for (auto it = placeholder.globalMatch(en.value(key).toString()); it.hasNext();)
            a << it.next().captured();
        for (auto it = placeholder.globalMatch(de.value(key).toString()); it.hasNext();)
            b << it.next().captured();
        a.sort();
        b.sort();
        EXPECT_EQ(a, b) << key.toStdString();
        EXPECT_FALSE(de.value(key).toString().isEmpty()) << key.toStdString();
    }
}

TEST(StringTablesTest, EveryKeyTheCodeNamesHasAnEnglishText) {
    const QJsonObject en = table(QStringLiteral("en"));
    static const QRegularExpression uses(QStringLiteral(
        R"re(UiText::key\((?:QStringLiteral\()?"([A-Za-z][A-Za-z0-9_]*)"|\bkey\("([A-Za-z][A-Za-z0-9_]*)"\))re"));
    int found = 0;
    for (const char* folder :
         {"core", "platform", "storage", "tools", "bridge", "enterprise", "app"}) {
        QDirIterator it(QStringLiteral(KESKOR_SOURCE_DIR "/") + QLatin1String(folder),
                        {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile f(it.next());
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            const QString source = QString::fromUtf8(f.readAll());
            for (auto m = uses.globalMatch(source); m.hasNext();) {
                const auto match = m.next();
                const QString k =
                    match.captured(1).isEmpty() ? match.captured(2) : match.captured(1);
                ++found;
                EXPECT_TRUE(en.contains(k))
                    << k.toStdString() << " in " << f.fileName().toStdString();
            }
        }
    }
    EXPECT_GT(found, 20) << "the scan must see the code's keys";
}

} // namespace
