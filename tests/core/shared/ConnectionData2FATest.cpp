#include "core/shared/ConnectionData2FA.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace keskor;

namespace {

TEST(ConnectionData2FATest, TextFormRoundTrips) {
    const ConnectionData2FA withCode(QStringLiteral("3f1c-uuid"), QStringLiteral("123456"),
                                     QStringLiteral("Laptop \"Büro\"\n"), true);
    const ConnectionData2FA tokenOnly(QStringLiteral("3f1c-uuid"), std::nullopt, QString(), false);
    EXPECT_EQ(ConnectionData2FA::fromString(withCode.toString()), withCode);
    EXPECT_EQ(ConnectionData2FA::fromString(tokenOnly.toString()), tokenOnly);
    // Only the token is required.
    EXPECT_EQ(ConnectionData2FA::fromString(QStringLiteral(R"({"token":"t"})")),
              ConnectionData2FA(QStringLiteral("t"), std::nullopt, QString(), false));
}

TEST(ConnectionData2FATest, TextFormIsTheDocumentedJsonObject) {
    const ConnectionData2FA data(QStringLiteral("tok"), QStringLiteral("42"), QStringLiteral("d"),
                                 true);
    const QJsonObject o = QJsonDocument::fromJson(data.toString().toUtf8()).object();
    EXPECT_EQ(o.value(QStringLiteral("token")).toString(), QStringLiteral("tok"));
    EXPECT_EQ(o.value(QStringLiteral("code")).toString(), QStringLiteral("42"));
    EXPECT_EQ(o.value(QStringLiteral("description")).toString(), QStringLiteral("d"));
    EXPECT_TRUE(o.value(QStringLiteral("trust")).toBool());
    const QJsonObject noCode =
        QJsonDocument::fromJson(
            ConnectionData2FA(QStringLiteral("tok"), std::nullopt, {}, false).toString().toUtf8())
            .object();
    EXPECT_FALSE(noCode.contains(QStringLiteral("code")));
}

TEST(ConnectionData2FATest, GarbageGivesNothing) {
    const QString tooLong =
        QStringLiteral(R"({"token":")") + QString(ConnectionData2FA::MAX_TEXT_SIZE, 'a') + "\"}";
    for (const QString& bad :
         {QString(), QStringLiteral("{"), QStringLiteral("[]"), QStringLiteral("null"),
          QStringLiteral("token=abc"), QStringLiteral(R"({})"), QStringLiteral(R"({"token":""})"),
          QStringLiteral(R"({"token":5})"), QStringLiteral(R"({"token":"t","code":123456})"),
          QStringLiteral(R"({"token":"t","trust":"true"})"),
          QStringLiteral(R"({"token":"t","description":[]})"), QStringLiteral(R"(["token","t"])"),
          QString::fromUtf8("\xff\xfe{\x00"), tooLong}) {
        EXPECT_FALSE(ConnectionData2FA::fromString(bad).has_value()) << bad.left(40).toStdString();
    }
}

} // namespace
