#include "platform/MemoryDefaultsStore.h"
#include "platform/QSettingsDefaultsStore.h"
#include "tests/platform/MessageCapture.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cctype>
#include <gtest/gtest.h>
#include <memory>

namespace keskor {
namespace {

using test::MessageCapture;
using test::TempDir;

// The same behaviour is required of the real store and of the test double.
enum class StoreKind { Memory, QSettingsFile };

class DefaultsStoreContract : public ::testing::TestWithParam<StoreKind> {
protected:
    void SetUp() override {
        if (GetParam() == StoreKind::Memory) {
            store = std::make_unique<MemoryDefaultsStore>();
        } else {
            store = std::make_unique<QSettingsDefaultsStore>(dir.file("settings.ini"));
        }
    }
    TempDir dir;
    std::unique_ptr<DefaultsStore> store;
};

TEST_P(DefaultsStoreContract, TypedRoundTrips) {
    store->setBool("b", false);
    store->setInteger("i", -1);
    store->setInteger("big", 1LL << 40);
    store->setString("s", "hello, world");
    store->setStringList("l", {"a,b", "c"});
    store->setObject("o", QVariant(qint64(25109)));
    EXPECT_TRUE(store->contains("b"));
    EXPECT_EQ(store->boolValue("b"), false);
    EXPECT_EQ(store->integerValue("i"), -1);
    EXPECT_EQ(store->integerValue("big"), 1LL << 40);
    EXPECT_EQ(store->stringValue("s"), QString("hello, world"));
    EXPECT_EQ(store->stringList("l"), (QStringList{"a,b", "c"}));
    EXPECT_EQ(store->integerValue("o"), 25109);
}

TEST_P(DefaultsStoreContract, RemovedNeverSetAndInvalidObjectKeysHoldNothing) {
    store->setBool("setting_isAutoSaving", true);
    store->setString("setting_app_language_key", "de");
    store->remove("setting_isAutoSaving");
    store->setObject("setting_app_language_key", QVariant());
    store->remove("never-set"); // harmless
    for (const char* key : {"setting_isAutoSaving", "setting_app_language_key", "never-set"}) {
        EXPECT_FALSE(store->contains(key)) << key;
        EXPECT_FALSE(store->object(key).isValid()) << key;
        EXPECT_EQ(store->boolValue(key), std::nullopt) << key;
        EXPECT_EQ(store->integerValue(key), std::nullopt) << key;
        EXPECT_EQ(store->stringValue(key), std::nullopt) << key;
        EXPECT_EQ(store->stringList(key), std::nullopt) << key;
    }
}

TEST_P(DefaultsStoreContract, WrongTypedValueReadsAsNothingAndLogsTheKeyOnce) {
    store->setString("setting_backup_count", "abc");
    store->setObject("setting_isAutoSaving", QVariant(QStringList{"x", "y"}));
    MessageCapture capture;
    EXPECT_EQ(store->integerValue("setting_backup_count"), std::nullopt);
    EXPECT_EQ(store->integerValue("setting_backup_count"), std::nullopt);
    EXPECT_EQ(store->boolValue("setting_isAutoSaving"), std::nullopt);
    EXPECT_TRUE(store->contains("setting_backup_count")); // it holds an object, just not a number
    EXPECT_EQ(capture.count("setting_backup_count"), 1);
    EXPECT_EQ(capture.count("setting_isAutoSaving"), 1);
    for (const QString& w : capture.warnings()) {
        EXPECT_FALSE(w.contains("abc")) << "the value must not be logged: " << w.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Stores, DefaultsStoreContract,
                         ::testing::Values(StoreKind::Memory, StoreKind::QSettingsFile),
                         [](const auto& info) {
                             return std::string(info.param == StoreKind::Memory ? "Memory"
                                                                                : "QSettingsFile");
                         });

// What a hand-edited INI file holds is text; the typed getters read it as a user would mean it.
struct TextCase {
    const char* text;
    std::optional<bool> asBool;
    std::optional<qint64> asInteger;
};

class HandEditedValue : public ::testing::TestWithParam<TextCase> {};

TEST_P(HandEditedValue, ReadsAsExpected) {
    TempDir dir;
    dir.write("settings.ini", QByteArray("[General]\nk=") + GetParam().text + "\n");
    QSettingsDefaultsStore store(dir.file("settings.ini"));
    MessageCapture quiet;
    EXPECT_EQ(store.boolValue("k"), GetParam().asBool);
    EXPECT_EQ(store.integerValue("k"), GetParam().asInteger);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, HandEditedValue,
    ::testing::Values(TextCase{"true", true, std::nullopt}, TextCase{"FALSE", false, std::nullopt},
                      TextCase{"1", true, 1}, TextCase{"0", false, 0},
                      TextCase{"YES", true, std::nullopt}, TextCase{" 42 ", std::nullopt, 42},
                      TextCase{"-1", std::nullopt, -1}, TextCase{"abc", std::nullopt, std::nullopt},
                      TextCase{"2.5", std::nullopt, std::nullopt},
                      TextCase{"99999999999999999999", std::nullopt, std::nullopt}),
    [](const auto& info) {
        std::string name = "case" + std::to_string(info.index) + "_";
        for (const char* c = info.param.text; *c; ++c) {
            name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
        }
        return name;
    });

TEST(QSettingsDefaultsStore, PersistsToItsFileAndReadsItBack) {
    TempDir dir;
    const QString path = dir.file("nested/config/settings.ini");
    {
        QSettingsDefaultsStore store(path);
        store.setBool("setting_isAutoSaving", false);
        store.setInteger("setting_addon_websocket_port", 26000);
        store.setStringList("key_recent_files", {"one***0", "two***4"});
        store.setStringList("single", {"only"});
        store.sync();
    }
    ASSERT_TRUE(QFileInfo(path).isFile());
    // A copy under a new name is read from disk, not from QSettings' in-process cache.
    ASSERT_TRUE(QFile::copy(path, dir.file("copy.ini")));
    QSettingsDefaultsStore reopened(dir.file("copy.ini"));
    EXPECT_EQ(reopened.boolValue("setting_isAutoSaving"), false);
    EXPECT_EQ(reopened.integerValue("setting_addon_websocket_port"), 26000);
    EXPECT_EQ(reopened.stringList("key_recent_files"), (QStringList{"one***0", "two***4"}));
    EXPECT_EQ(reopened.stringList("single"), QStringList{"only"});
    EXPECT_TRUE(reopened.isPersistent());
}

TEST(QSettingsDefaultsStore, GarbledFileGivesAnEmptyStoreAndIsKeptAside) {
    TempDir dir;
    static const char raw[] = "\xff\xfe\x00garbage[[[\n=\n\x01\x02";
    const QByteArray garbage(raw, sizeof raw - 1);
    dir.write("settings.ini", garbage);
    MessageCapture capture;
    QSettingsDefaultsStore store(dir.file("settings.ini"));
    EXPECT_FALSE(store.contains("garbage"));
    EXPECT_TRUE(capture.anyContains("settings.ini"));
    EXPECT_EQ(dir.read("settings.ini.broken"), garbage);
    store.setInteger("setting_backup_count", 5);
    store.sync();
    EXPECT_EQ(store.integerValue("setting_backup_count"), 5);
    EXPECT_EQ(dir.read("settings.ini.broken"), garbage) << "the damaged file is never overwritten";
    EXPECT_TRUE(dir.read("settings.ini").contains("setting_backup_count=5"));
}

TEST(QSettingsDefaultsStore, UnreadablePathKeepsValuesInMemoryWithAWarning) {
    TempDir dir;
    // A folder where the file should be: it can be neither read nor replaced.
    ASSERT_TRUE(QDir().mkpath(dir.file("settings.ini")));
    MessageCapture capture;
    QSettingsDefaultsStore store(dir.file("settings.ini"));
    EXPECT_FALSE(store.isPersistent());
    EXPECT_TRUE(capture.anyContains("memory"));
    store.setBool("show_status_bar_area", false);
    store.sync();
    EXPECT_EQ(store.boolValue("show_status_bar_area"), false);
    EXPECT_TRUE(QFileInfo(dir.file("settings.ini")).isDir());
}

TEST(MemoryDefaultsStore, ReadingNeverWrites) {
    MemoryDefaultsStore store(QVariantMap{{"setting_backup_count", 3}});
    (void)store.boolValue("setting_isAutoSaving");
    (void)store.integerValue("setting_backup_count");
    (void)store.contains("x");
    EXPECT_EQ(store.writeCount(), 0);
    store.setBool("a", true);
    store.remove("a");
    store.setObject("b", QVariant());
    EXPECT_EQ(store.writeCount(), 3);
}

} // namespace
} // namespace keskor
