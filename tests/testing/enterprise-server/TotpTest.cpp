#include "testing/enterprise-server/Totp.h"

#include <gtest/gtest.h>

namespace keskor::testing {
namespace {

// RFC 6238 appendix B, the SHA-1 rows.
TEST(TotpTest, RfcVectors) {
    const QByteArray secret("12345678901234567890");
    const std::pair<std::int64_t, const char*> vectors[] = {
        {59, "94287082"},         {1111111109, "07081804"}, {1111111111, "14050471"},
        {1234567890, "89005924"}, {2000000000, "69279037"}, {20000000000, "65353130"}};
    for (const auto& [time, expected] : vectors) {
        EXPECT_EQ(Totp::code(secret, time, 8), QLatin1String(expected)) << time;
        EXPECT_EQ(Totp::code(secret, time), QLatin1String(expected + 2)) << time;
    }
}

TEST(TotpTest, MatchesOnlyWithinTheWindow) {
    const QByteArray secret("12345678901234567890");
    const std::int64_t t = 1111111109; // step 37037036
    EXPECT_EQ(Totp::matchStep(secret, QStringLiteral("081804"), t), 37037036u);
    EXPECT_EQ(Totp::matchStep(secret, QStringLiteral("081804"), t + 30), 37037036u);
    EXPECT_FALSE(Totp::matchStep(secret, QStringLiteral("081804"), t + 60));
    EXPECT_FALSE(Totp::matchStep(secret, QStringLiteral("07081804"), t));
    EXPECT_FALSE(Totp::matchStep(secret, QString(), t));
}

// RFC 4648 section 10.
TEST(TotpTest, Base32) {
    const std::pair<const char*, const char*> vectors[] = {{"f", "MY"},
                                                           {"fo", "MZXQ"},
                                                           {"foo", "MZXW6"},
                                                           {"foob", "MZXW6YQ"},
                                                           {"foobar", "MZXW6YTBOI"}};
    for (const auto& [plain, encoded] : vectors) {
        EXPECT_EQ(Totp::toBase32(plain), QLatin1String(encoded));
        EXPECT_EQ(Totp::fromBase32(QLatin1String(encoded)), QByteArray(plain));
    }
    EXPECT_EQ(Totp::fromBase32(QStringLiteral("mzxw 6ytb oi======")), QByteArray("foobar"));
    EXPECT_FALSE(Totp::fromBase32(QStringLiteral("MZXW1")));
}

} // namespace
} // namespace keskor::testing
