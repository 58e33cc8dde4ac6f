#pragma once
// Password generation and rating: the generator's two modes, the simple generator of the
// mouse-driven tab, the entropy estimate and the read-outs built on it.
//
// Generation throws CommonException (with a text free of any secret) for options that cannot
// produce a password, instead of drawing forever: no usable class, an empty class that can be
// drawn, a length beyond the limits, "at least one of each" that no sequence can satisfy, or
// "no equal neighbours" over a single character.

#include "tools/PasswordGeneratorOption.h"
#include "tools/RandomSource.h"
#include "tools/StrengthBar.h"
#include "tools/StrengthReadout.h"
#include "tools/TextLookup.h"

#include <QString>
#include <QStringList>
#include <cstdint>

namespace keskor {

class PasswordHelper {
public:
    static const QString& upperCaseChars();
    static const QString& lowerCaseChars();
    /// The 32 printable ASCII punctuation characters in code-point order.
    static const QString& specialChars();
    static const QString& digitChars();

    /// Longest password the generator makes; a longer typed length is refused.
    static constexpr int kMaxPasswordLength = 10000;
    /// Most candidates generateBestPassword makes.
    static constexpr int kMaxTries = 10000;
    /// Redraws of the class sequence before "at least one of each" gives up.
    static constexpr int kMaxSequenceAttempts = 1000000;

    static QString generatePassword(const PasswordGeneratorOption& option, RandomSource& random);
    static QString generatePassword(const PasswordGeneratorOption& option);
    /// `tries` candidates, the first one with the highest entropy kept.
    static QString generateBestPassword(const PasswordGeneratorOption& option, int tries,
                                        RandomSource& random);
    static QString generateBestPassword(const PasswordGeneratorOption& option, int tries);
    /// `length` (clamped to 1..255) characters drawn uniformly from the union of the ticked
    /// classes; empty when none is ticked.
    static QString generateSimplePassword(int length, bool uppercase, bool lowercase, bool special,
                                          bool digits, RandomSource& random);

    /// The class index of every position, in generation order of the taking-part classes.
    /// Exposed for the generator's tests; percentages in class order.
    static QList<int> classSequence(const QList<int>& percentages, int length,
                                    bool useAtleastOneOfSelected, RandomSource& random);

    /// Bits: floor(log2(pool) * characters); 0 for an empty password or an empty pool.
    static int entropy(const QString& password);
    /// Seconds to try pool^characters passwords at 3e9 a second, saturated at INT64_MAX.
    static std::int64_t crackTime(const QString& password);
    /// The pool of the character classes found in the password (26, 26, 10, 32, 10).
    static int pool(const QString& password);

    static QString strengthSummary(const QString& password, const TextLookup& text);
    static QString crackTimeText(const QString& password, bool compact, const TextLookup& text);
    /// The text for a crack time in seconds, as crackTimeText writes it.
    static QString crackTimeTextForSeconds(std::int64_t seconds, bool compact,
                                           const TextLookup& text);
    /// Localisation key of the rating: "weak", "moderate" or "strong".
    static QString ratingKey(int entropy);
    static StrengthBar updateStrengthBar(const QString& password, double maxValue = 100.0);
    static StrengthBar strengthBarForEntropy(int entropy, double maxValue = 100.0);
    static StrengthReadout strengthReadout(const QString& password, const TextLookup& text);

    /// The user-perceived characters (grapheme clusters) of a text, in order.
    static QStringList characters(const QString& text);
    /// How many there are, without building them.
    static qsizetype characterCount(const QString& text);
};

} // namespace keskor
