#include "tools/PasswordHelper.h"

#include "core/shared/CommonException.h"
#include "tools/SystemRandomSource.h"

#include <QRegularExpression>
#include <QSet>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>

namespace keskor {

namespace {

constexpr int kSimpleMaxLength = 255;
constexpr double kGuessesPerSecond = 3.0e9;

QString buildSpecialChars() {
    QString s;
    for (char16_t c = 0x21; c <= 0x7E; ++c) {
        const bool letterOrDigit =
            (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
        if (!letterOrDigit) {
            s += QChar(c);
        }
    }
    return s;
}

QStringList splitAscii(const QString& chars) {
    QStringList out;
    out.reserve(chars.size());
    for (const QChar c : chars) {
        out.append(QString(c));
    }
    return out;
}

void checkLength(int length) {
    if (length < 1 || length > PasswordHelper::kMaxPasswordLength) {
        throw CommonException(QStringLiteral("The password length must be between 1 and %1.")
                                  .arg(PasswordHelper::kMaxPasswordLength));
    }
}

qsizetype distinctCount(const QStringList& chars) {
    return QSet<QString>(chars.begin(), chars.end()).size();
}

/// For every r in [0, 100) the first class whose running sum exceeds r, the last running sum
/// being 100 whatever the percentages add up to.
std::array<int, 100> bandTable(const QList<int>& percentages) {
    std::array<int, 100> table{};
    qint64 running = 0;
    int r = 0;
    for (qsizetype k = 0; k < percentages.size() && r < 100; ++k) {
        running = k + 1 == percentages.size() ? 100 : running + percentages.at(k);
        for (; r < 100 && running > r; ++r) {
            table[static_cast<std::size_t>(r)] = static_cast<int>(k);
        }
    }
    return table;
}

/// The classes the table can yield, one bit each (there are at most 32).
std::uint32_t drawableClasses(const std::array<int, 100>& table) {
    std::uint32_t classes = 0;
    for (const int k : table) {
        classes |= 1u << k;
    }
    return classes;
}

/// Appends `length` characters drawn by `pick`, refusing a character equal to the previous
/// one when asked to. Callers make sure a different character always exists.
template <typename Pick> QString fill(int length, bool excludeIdentical, Pick pick) {
    QString password;
    QString last;
    for (int position = 0; position < length; ++position) {
        QString next = pick(position);
        while (excludeIdentical && position > 0 && next == last) {
            next = pick(position);
        }
        password += next;
        last = std::move(next);
    }
    return password;
}

const std::array<QRegularExpression, 5>& classTests() {
    static const std::array<QRegularExpression, 5> tests{
        QRegularExpression(QStringLiteral("^(?=.*[A-Z]).*$")),
        QRegularExpression(QStringLiteral("^(?=.*[a-z]).*$")),
        QRegularExpression(QStringLiteral("^(?=.*[0-9]).*$")),
        QRegularExpression(
            QStringLiteral("^(?=.*[") +
            QRegularExpression::escape(PasswordHelper::specialChars() + QLatin1Char(' ')) +
            QStringLiteral("]).*$")),
        QRegularExpression(QStringLiteral("^(?=.*[ÄäÖöÜüß]).*$")),
    };
    return tests;
}
constexpr std::array<int, 5> kClassPools{26, 26, 10, 32, 10};

} // namespace

const QString& PasswordHelper::upperCaseChars() {
    static const QString chars = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    return chars;
}
const QString& PasswordHelper::lowerCaseChars() {
    static const QString chars = QStringLiteral("abcdefghijklmnopqrstuvwxyz");
    return chars;
}
const QString& PasswordHelper::specialChars() {
    static const QString chars = buildSpecialChars();
    return chars;
}
const QString& PasswordHelper::digitChars() {
    static const QString chars = QStringLiteral("0123456789");
    return chars;
}

QList<int> PasswordHelper::classSequence(const QList<int>& percentages, int length,
                                         bool useAtleastOneOfSelected, RandomSource& random) {
    if (percentages.isEmpty()) {
        throw CommonException(QStringLiteral("No character class is switched on."));
    }
    checkLength(length);
    if (percentages.size() > 32) {
        throw CommonException(QStringLiteral("Too many character classes."));
    }
    const auto table = bandTable(percentages);
    const qsizetype classes = percentages.size();
    if (useAtleastOneOfSelected) {
        if (length < classes) {
            throw CommonException(
                QStringLiteral("A password of %1 characters cannot hold one character of each of "
                               "the %2 classes.")
                    .arg(length)
                    .arg(classes));
        }
        if (std::popcount(drawableClasses(table)) < classes) {
            throw CommonException(QStringLiteral(
                "The percentages leave no room for some classes, so not every class can occur."));
        }
    }
    QList<int> sequence(length);
    for (int attempt = 0; attempt < kMaxSequenceAttempts; ++attempt) {
        unsigned seen = 0; // at most five classes
        for (int i = 0; i < length; ++i) {
            sequence[i] = table[static_cast<std::size_t>(random.uniform(100))];
            seen |= 1u << sequence[i];
        }
        if (!useAtleastOneOfSelected || std::popcount(seen) == classes) {
            return sequence;
        }
    }
    throw CommonException(
        QStringLiteral("No password with every class could be made; raise the small percentages "
                       "or the length."));
}

QString PasswordHelper::generatePassword(const PasswordGeneratorOption& option,
                                         RandomSource& random) {
    checkLength(option.passwordLength);
    const int length = option.passwordLength;
    if (option.useOnlySelectedChars) {
        const QStringList& set = option.selectedCharSet;
        if (set.isEmpty()) {
            throw CommonException(QStringLiteral("No characters to draw from were given."));
        }
        if (option.excludeIdentical && length > 1 && distinctCount(set) < 2) {
            throw CommonException(QStringLiteral(
                "Without equal neighbours the characters need at least two different ones."));
        }
        return fill(length, option.excludeIdentical, [&](int) {
            return set.at(static_cast<qsizetype>(random.uniform(set.size())));
        });
    }

    static const QStringList upper = splitAscii(upperCaseChars());
    static const QStringList lower = splitAscii(lowerCaseChars());
    static const QStringList special = splitAscii(specialChars());
    static const QStringList digits = splitAscii(digitChars());
    // Generation order, which fixes the class indices.
    const std::array<std::pair<int, const QStringList*>, 5> all{{
        {option.uppercasePercent, &upper},
        {option.lowercasePercent, &lower},
        {option.specialPercent, &special},
        {option.numbersPercent, &digits},
        {option.customCharPercent, &option.customCharSet},
    }};
    QList<int> percentages;
    QList<const QStringList*> classes;
    for (const auto& [percent, chars] : all) {
        if (percent < 0) {
            throw CommonException(QStringLiteral("A percentage cannot be negative."));
        }
        if (percent != 0) {
            percentages.append(percent);
            classes.append(chars);
        }
    }
    if (classes.isEmpty()) {
        throw CommonException(QStringLiteral("No character class is switched on."));
    }
    // Only classes that can be drawn matter: a class cut off by the percentages may be empty.
    const std::uint32_t drawable = drawableClasses(bandTable(percentages));
    for (qsizetype k = 0; k < classes.size(); ++k) {
        if ((drawable & (1u << k)) == 0) {
            continue;
        }
        const QStringList& chars = *classes.at(k);
        if (chars.isEmpty()) {
            throw CommonException(QStringLiteral("The custom character class has no characters."));
        }
        if (option.excludeIdentical && length > 1 && distinctCount(chars) < 2) {
            throw CommonException(QStringLiteral(
                "Without equal neighbours every character class needs two different characters."));
        }
    }
    const QList<int> sequence =
        classSequence(percentages, length, option.useAtleastOneOfSelected, random);
    return fill(length, option.excludeIdentical, [&](int position) {
        const QStringList& chars = *classes.at(sequence.at(position));
        return chars.at(static_cast<qsizetype>(random.uniform(chars.size())));
    });
}

QString PasswordHelper::generatePassword(const PasswordGeneratorOption& option) {
    SystemRandomSource random;
    return generatePassword(option, random);
}

QString PasswordHelper::generateBestPassword(const PasswordGeneratorOption& option, int tries,
                                             RandomSource& random) {
    if (tries < 1 || tries > kMaxTries) {
        throw CommonException(
            QStringLiteral("The number of tries must be between 1 and %1.").arg(kMaxTries));
    }
    QStringList candidates;
    candidates.reserve(tries);
    for (int i = 0; i < tries; ++i) {
        candidates.append(generatePassword(option, random));
    }
    qsizetype best = 0;
    int bestEntropy = entropy(candidates.at(0));
    for (qsizetype i = 1; i < candidates.size(); ++i) {
        const int e = entropy(candidates.at(i));
        if (e > bestEntropy) {
            best = i;
            bestEntropy = e;
        }
    }
    return candidates.at(best);
}

QString PasswordHelper::generateBestPassword(const PasswordGeneratorOption& option, int tries) {
    SystemRandomSource random;
    return generateBestPassword(option, tries, random);
}

QString PasswordHelper::generateSimplePassword(int length, bool uppercase, bool lowercase,
                                               bool special, bool digits, RandomSource& random) {
    length = std::clamp(length, 1, kSimpleMaxLength);
    QString pool;
    if (uppercase) {
        pool += upperCaseChars();
    }
    if (lowercase) {
        pool += lowerCaseChars();
    }
    if (special) {
        pool += specialChars();
    }
    if (digits) {
        pool += digitChars();
    }
    if (pool.isEmpty()) {
        return {};
    }
    QString password;
    password.reserve(length);
    for (int i = 0; i < length; ++i) {
        password += pool.at(static_cast<qsizetype>(random.uniform(pool.size())));
    }
    return password;
}

int PasswordHelper::pool(const QString& password) {
    // The common case, text without line breaks or surrogates, is scanned directly: there the
    // tests below mean "holds a character of the class". Other text keeps the tests' own rules
    // (a line break ends what "." spans).
    static const QString special = specialChars() + QLatin1Char(' ');
    static const QString umlauts = QStringLiteral("ÄäÖöÜüß");
    unsigned found = 0;
    bool plain = true;
    for (const QChar c : password) {
        const char16_t u = c.unicode();
        const bool lineBreak = u == u'\n' || u == u'\r' || u == u'\v' || u == u'\f' || u == 0x85 ||
                               u == 0x2028 || u == 0x2029;
        if (lineBreak || c.isSurrogate()) {
            plain = false;
            break;
        }
        if (u >= u'A' && u <= u'Z') {
            found |= 1u;
        } else if (u >= u'a' && u <= u'z') {
            found |= 2u;
        } else if (u >= u'0' && u <= u'9') {
            found |= 4u;
        } else if (u < 0x80 ? special.contains(c) : umlauts.contains(c)) {
            found |= u < 0x80 ? 8u : 16u;
        }
    }
    if (plain) {
        int total = 0;
        for (std::size_t i = 0; i < kClassPools.size(); ++i) {
            if ((found & (1u << i)) != 0) {
                total += kClassPools[i];
            }
        }
        return total;
    }
    int total = 0;
    const auto& tests = classTests();
    for (std::size_t i = 0; i < tests.size(); ++i) {
        if (tests[i].match(password).hasMatch()) {
            total += kClassPools[i];
        }
    }
    return total;
}

int PasswordHelper::entropy(const QString& password) {
    if (password.isEmpty()) {
        return 0;
    }
    const int p = pool(password);
    if (p == 0) {
        return 0;
    }
    const double bits =
        std::log2(static_cast<double>(p)) * static_cast<double>(characterCount(password));
    return bits >= static_cast<double>(std::numeric_limits<int>::max())
               ? std::numeric_limits<int>::max()
               : static_cast<int>(bits);
}

std::int64_t PasswordHelper::crackTime(const QString& password) {
    if (password.isEmpty()) {
        return 0;
    }
    const auto p = static_cast<unsigned __int128>(pool(password));
    if (p == 0) {
        return 0;
    }
    const qsizetype n = characterCount(password);
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    // Exact integer power; once it no longer fits, the quotient is far beyond 2^63 anyway.
    const unsigned __int128 limit = ~static_cast<unsigned __int128>(0) / p;
    unsigned __int128 combinations = 1;
    for (qsizetype i = 0; i < n; ++i) {
        if (combinations > limit) {
            return kMax;
        }
        combinations *= p;
    }
    const unsigned __int128 seconds =
        combinations / static_cast<unsigned __int128>(kGuessesPerSecond);
    return seconds > static_cast<unsigned __int128>(kMax) ? kMax
                                                          : static_cast<std::int64_t>(seconds);
}

QString PasswordHelper::ratingKey(int entropy) {
    if (entropy <= 20) {
        return QStringLiteral("weak");
    }
    if (entropy <= 70) {
        return QStringLiteral("moderate");
    }
    return QStringLiteral("strong");
}

QString PasswordHelper::strengthSummary(const QString& password, const TextLookup& text) {
    const int bits = entropy(password);
    return text(QStringLiteral("length")) + QStringLiteral(": ") +
           QString::number(characterCount(password)) + QLatin1Char(' ') +
           text(QStringLiteral("chars")) + QStringLiteral("; ") + text(QStringLiteral("entropy")) +
           QStringLiteral(": ") + QString::number(bits) + QLatin1Char(' ') +
           text(QStringLiteral("bits")) + QStringLiteral("; ") +
           text(QStringLiteral("pass_strength")) + QLatin1Char(' ') + text(ratingKey(bits));
}

QString PasswordHelper::crackTimeTextForSeconds(std::int64_t t, bool compact,
                                                const TextLookup& text) {
    QString out;
    if (!compact) {
        out = text(QStringLiteral("could_be_cracked")) + QLatin1Char(':');
    }
    const auto amount = [&](std::int64_t value, const char* unit) {
        return QLatin1Char(' ') + QString::number(value) + QLatin1Char(' ') +
               text(QLatin1String(unit));
    };
    if (t <= 0) {
        out += QLatin1Char(' ') + text(QStringLiteral("less_than")) + QStringLiteral(" 1 ") +
               text(QStringLiteral("secs"));
    } else if (t < 60) {
        out += amount(t, "secs");
    } else if (t < 3600) {
        out += amount(t / 60, "mins");
    } else if (t < 86400) {
        out += amount(t / 3600, "hours");
    } else if (t <= 2592000) {
        out += amount(t / 86400, "days");
    } else if (t <= 31104000) {
        out += amount(t / 2592000, "months");
    } else if (t <= 31104000000LL) {
        out += amount(t / 31104000, "years");
    } else {
        out += QLatin1Char(' ') + text(QStringLiteral("never"));
    }
    return out;
}

QString PasswordHelper::crackTimeText(const QString& password, bool compact,
                                      const TextLookup& text) {
    return crackTimeTextForSeconds(crackTime(password), compact, text);
}

StrengthBar PasswordHelper::strengthBarForEntropy(int entropy, double maxValue) {
    StrengthBar bar;
    bar.maxValue = maxValue;
    const double f = entropy / 100.0;
    bar.value = std::clamp(maxValue * f, 0.0, maxValue);
    const double p = f * 100.0;
    if (p <= 100.0) {
        bar.red = (255.0 - 2.55 * p) / 255.0;
        bar.green = 2.55 * p / 255.0;
    } else {
        bar.red = 1.1145768404080003e-16;
        bar.green = 0.9999999999999999;
    }
    bar.blue = 0.0;
    bar.alpha = 1.0;
    return bar;
}

StrengthBar PasswordHelper::updateStrengthBar(const QString& password, double maxValue) {
    return strengthBarForEntropy(entropy(password), maxValue);
}

StrengthReadout PasswordHelper::strengthReadout(const QString& password, const TextLookup& text) {
    return StrengthReadout{updateStrengthBar(password), strengthSummary(password, text),
                           crackTimeText(password, false, text)};
}

QStringList PasswordHelper::characters(const QString& text) {
    QStringList out;
    if (text.isEmpty()) {
        return out;
    }
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    while (finder.toNextBoundary() != -1) {
        const qsizetype end = finder.position();
        out.append(text.mid(start, end - start));
        start = end;
    }
    return out;
}

qsizetype PasswordHelper::characterCount(const QString& text) {
    // Printable ASCII and tabs: one character per code unit (only CR LF joins there).
    const bool ascii = std::all_of(text.begin(), text.end(), [](QChar c) {
        return c.unicode() < 0x80 && c.unicode() != u'\r';
    });
    if (ascii) {
        return text.size();
    }
    qsizetype count = 0;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    while (finder.toNextBoundary() != -1) {
        ++count;
    }
    return count;
}

} // namespace keskor
