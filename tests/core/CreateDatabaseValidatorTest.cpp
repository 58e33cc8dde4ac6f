#include "core/CreateDatabaseValidator.h"

#include <gtest/gtest.h>

using namespace keskor;

namespace {

CreateDatabaseValidator::Input valid(const QString& password) {
    CreateDatabaseValidator::Input in;
    in.name = QStringLiteral("family");
    in.password = password;
    in.confirmation = password;
    return in;
}

struct RuleCase {
    const char* name;
    bool strict;
    const char* password;
    const char* failure; // "" when accepted
};

class MasterPasswordRules : public ::testing::TestWithParam<RuleCase> {};

TEST_P(MasterPasswordRules, GiveTheirKey) {
    const RuleCase& c = GetParam();
    const CreateDatabaseValidator validator(c.strict, {});
    const auto failure = validator.firstFailure(valid(QString::fromUtf8(c.password)));
    if (*c.failure == '\0') {
        EXPECT_EQ(failure, std::nullopt);
    } else {
        EXPECT_EQ(failure, QString::fromLatin1(c.failure));
    }
}

INSTANTIATE_TEST_SUITE_P(
    BothRuleSets, MasterPasswordRules,
    ::testing::Values(
        RuleCase{"standard_14_chars", false, "Abcdefghijk12!", "NO_SAP_master_pass_length"},
        RuleCase{"standard_15_chars_three_groups", false, "Abcdefghijklm12", ""},
        RuleCase{"standard_two_groups", false, "abcdefghijklmnop1", "Master_pass_group"},
        RuleCase{"standard_blank_counts_as_punctuation", false, "abcdefgh ijklmn1", ""},
        RuleCase{"standard_user_id_allowed", false, "Abcdefghijk C123456", ""},
        RuleCase{"strict_7_chars", true, "Abc12!x", "SAP_master_pass_length"},
        RuleCase{"strict_8_chars", true, "Abcdef1!", ""},
        RuleCase{"strict_two_groups", true, "abcdefgh", "Master_pass_group"},
        RuleCase{"strict_user_id", true, "Xy!d123456z", "SAP_master_pass_userid"},
        RuleCase{"strict_five_digits_ok", true, "Xy!d12345z", ""},
        RuleCase{"strict_non_ascii_letters", true, "ÄÖÜäöü12", "Master_pass_group"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CreateDatabaseValidatorTest, ChecksRunInTheirOrder) {
    const CreateDatabaseValidator validator(false, {});
    CreateDatabaseValidator::Input in;
    in.password = QStringLiteral("x");
    in.confirmation = QStringLiteral("y");
    in.useKeyFile = true;
    EXPECT_EQ(validator.firstFailure(in), QStringLiteral("error_input_db_name"));
    in.name = QStringLiteral("db");
    in.password.clear();
    EXPECT_EQ(validator.firstFailure(in), QStringLiteral("error_input_master_password"));
    in.password = QStringLiteral("Correct-Horse-Battery-9");
    EXPECT_EQ(validator.firstFailure(in), QStringLiteral("error_password_mismatch"));
    in.confirmation = in.password;
    in.hint = QStringLiteral("it is Correct-Horse-Battery-9 of course");
    EXPECT_EQ(validator.firstFailure(in),
              QStringLiteral("hint_or_description_not_contains_password"));
    in.hint.clear();
    in.description = in.password;
    EXPECT_EQ(validator.firstFailure(in),
              QStringLiteral("hint_or_description_not_contains_password"));
    in.description.clear();
    EXPECT_EQ(validator.firstFailure(in), QStringLiteral("error_input_key_file"));
    in.hasKeyFile = true;
    EXPECT_EQ(validator.firstFailure(in), std::nullopt);
}

TEST(CreateDatabaseValidatorTest, AKeyFileOnlyDatabaseSkipsThePasswordChecks) {
    const CreateDatabaseValidator validator(true, [](const QString&) { return 0; });
    CreateDatabaseValidator::Input in;
    in.name = QStringLiteral("db");
    in.usePassword = false;
    in.useKeyFile = true;
    in.hasKeyFile = true;
    EXPECT_EQ(validator.firstFailure(in), std::nullopt);
    EXPECT_FALSE(validator.needsWeakPasswordQuestion(in));
}

TEST(CreateDatabaseValidatorTest, WeakMeansARatingOfAtMostTwenty) {
    int rating = 0;
    const CreateDatabaseValidator validator(false, [&](const QString&) { return rating; });
    const auto in = valid(QStringLiteral("Abcdefghijklm12"));
    for (const int r : {0, 20}) {
        rating = r;
        EXPECT_TRUE(validator.needsWeakPasswordQuestion(in)) << r;
    }
    rating = 21;
    EXPECT_FALSE(validator.needsWeakPasswordQuestion(in));
}

} // namespace
