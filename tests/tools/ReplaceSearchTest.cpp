#include "tools/ReplaceSearch.h"

#include "tests/support/ItemTrees.h"
#include "tests/support/QtPrinters.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace keskor {
namespace {

using test::entry;
using test::folder;

ReplaceSearchOptions only(const QString& query, bool matchCase) {
    ReplaceSearchOptions o;
    o.query = query;
    o.matchCase = matchCase;
    o.inDescription = o.inUsername = o.inPassword = o.inCustomField = o.inURL = o.inComments =
        false;
    return o;
}

TEST(ReplaceContains, CaseRules) {
    EXPECT_TRUE(ReplaceSearch::contains("ABC-1", "abc", false));
    EXPECT_FALSE(ReplaceSearch::contains("ABC-1", "abc", true));
    EXPECT_TRUE(ReplaceSearch::contains("xabcx", "abc", true));
    EXPECT_TRUE(
        ReplaceSearch::contains(QStringLiteral("STRASSE Ärger"), QStringLiteral("ärger"), false));
    EXPECT_FALSE(ReplaceSearch::contains("anything", "", false));
    EXPECT_FALSE(ReplaceSearch::contains("", "a", false));
}

// Each field is tested only when its flag is on.
struct FieldCase {
    const char* name;
    void (*fill)(Info2Item&);
    void (*flag)(ReplaceSearchOptions&);
};

const FieldCase kFields[] = {
    {"Description", [](Info2Item& e) { e.setDescription("the needle"); },
     [](ReplaceSearchOptions& o) { o.inDescription = true; }},
    {"UserName", [](Info2Item& e) { e.setUserName(QStringLiteral("needle@example.org")); },
     [](ReplaceSearchOptions& o) { o.inUsername = true; }},
    {"Password", [](Info2Item& e) { e.setPassword(QStringLiteral("needle123")); },
     [](ReplaceSearchOptions& o) { o.inPassword = true; }},
    {"CustomFieldValue",
     [](Info2Item& e) {
         e.mutableCustomFields() = {PswField{"pin", "0000", {}, true},
                                    PswField{"hint", "a needle", {}, true}};
     },
     [](ReplaceSearchOptions& o) { o.inCustomField = true; }},
    {"Url", [](Info2Item& e) { e.setUrl(QStringLiteral("https://needle.example")); },
     [](ReplaceSearchOptions& o) { o.inURL = true; }},
    {"Comment", [](Info2Item& e) { e.setComment(QStringLiteral("see needle")); },
     [](ReplaceSearchOptions& o) { o.inComments = true; }},
};

class ReplaceField : public ::testing::TestWithParam<FieldCase> {};

TEST_P(ReplaceField, FoundAndReplacedOnlyWithItsFlag) {
    Info2Item e;
    e.setDescription("entry");
    GetParam().fill(e);
    ReplaceSearchOptions o = only("needle", true);
    o.inWebform = true; // never looked at
    EXPECT_FALSE(ReplaceSearch::test(e, o));
    EXPECT_FALSE(ReplaceSearch::replaceInEntry(e, o, "pin"));

    GetParam().flag(o);
    EXPECT_TRUE(ReplaceSearch::test(e, o));
    EXPECT_TRUE(ReplaceSearch::replaceInEntry(e, o, "thread"));
    EXPECT_FALSE(ReplaceSearch::test(e, o));
    o.query = "thread";
    EXPECT_TRUE(ReplaceSearch::test(e, o));
}

INSTANTIATE_TEST_SUITE_P(Fields, ReplaceField, ::testing::ValuesIn(kFields),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReplaceInEntry, FoundCaseInsensitivelyButReplacedOnlyAsWritten) {
    Info2Item e;
    e.setDescription("ABC-1");
    ReplaceSearchOptions o = only("abc", false);
    o.inDescription = true;
    EXPECT_TRUE(ReplaceSearch::test(e, o));
    EXPECT_FALSE(ReplaceSearch::replaceInEntry(e, o, "x"));
    EXPECT_EQ(e.description(), "ABC-1");

    e.setDescription("abc ABC abc");
    EXPECT_TRUE(ReplaceSearch::replaceInEntry(e, o, "x"));
    EXPECT_EQ(e.description(), "x ABC x");

    // With the case matched, a field holding only another case is skipped.
    e.setDescription("ABC");
    e.setComment(QStringLiteral("abc"));
    o.matchCase = o.inComments = true;
    EXPECT_TRUE(ReplaceSearch::replaceInEntry(e, o, "z"));
    EXPECT_EQ(e.description(), "ABC");
    EXPECT_EQ(e.comment(), QString("z"));
}

TEST(ReplaceInEntry, EveryFlaggedFieldChangesNotOnlyTheFirst) {
    Info2Item e;
    e.setDescription("old name");
    e.setUserName(QStringLiteral("old"));
    e.setPassword(QStringLiteral("old-old"));
    e.setUrl(QStringLiteral("https://old.example"));
    e.mutableCustomFields() = {PswField{"old", "old value", {}, true},
                               PswField{"n", "new", {}, true}, PswField{"m", "bold", {}, true}};
    ReplaceSearchOptions o = only("old", true);
    o.inDescription = o.inUsername = o.inPassword = o.inCustomField = true;
    EXPECT_TRUE(ReplaceSearch::replaceInEntry(e, o, "new"));
    EXPECT_EQ(e.description(), "new name");
    EXPECT_EQ(e.userName(), QString("new"));
    EXPECT_EQ(e.password(), QString("new-new"));
    EXPECT_EQ(e.url(), QString("https://old.example")); // its flag is off
    EXPECT_EQ(e.customFields()[0].name, "old");         // names are never touched
    EXPECT_EQ(e.customFields()[0].value, "new value");
    EXPECT_EQ(e.customFields()[1].value, "new");
    EXPECT_EQ(e.customFields()[2].value, "bnew");
}

TEST(ReplaceInEntry, EmptyTextsChangeNothingAndAbsentFieldsStayAbsent) {
    Info2Item e;
    e.setDescription("abc");
    ReplaceSearchOptions o = only("abc", true);
    o.inDescription = o.inUsername = o.inComments = true;
    EXPECT_FALSE(ReplaceSearch::replaceInEntry(e, o, ""));
    o.query.clear();
    EXPECT_FALSE(ReplaceSearch::replaceInEntry(e, o, "x"));
    EXPECT_EQ(e.description(), "abc");
    o.query = "abc";
    ASSERT_TRUE(ReplaceSearch::replaceInEntry(e, o, "x"));
    EXPECT_EQ(e.userName(), std::nullopt);
    EXPECT_EQ(e.comment(), std::nullopt);
}

class ReplaceSearchTree : public ::testing::Test {
protected:
    // top: one, Sub{ two, Deep{ three } }, four, five
    void SetUp() override {
        sub =
            folder("Sub match", {entry("two match"), folder("Deep match", {entry("three match")})});
        for (const auto& item : {entry("one match"), sub, entry("four"), entry("five MATCH")}) {
            top.addSubItem(item);
        }
        options = only("match", false);
        options.inDescription = true;
    }
    Info2Item top;
    std::shared_ptr<Info2Item> sub;
    ReplaceSearchOptions options;
};

TEST_F(ReplaceSearchTree, SubFoldersFollowAtTheirPlaceAndFoldersAreNeverResults) {
    EXPECT_EQ(test::descriptions(ReplaceSearch::search(top, options)),
              (QStringList{"one match", "two match", "three match", "five MATCH"}));
}

} // namespace
} // namespace keskor
