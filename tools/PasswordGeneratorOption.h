#pragma once
// The settings of one generation run, collected from the generator dialog; never persisted.

#include <QString>
#include <QStringList>

namespace keskor {

struct PasswordGeneratorOption {
    /// Draw only from selectedCharSet.
    bool useOnlySelectedChars = false;
    /// The typed characters, in typed order, duplicates kept (duplicates weigh more).
    QStringList selectedCharSet;
    /// The class-percentage mode; kept for the dialog, no generation step reads it.
    bool useCustomSettings = true;
    int lowercasePercent = 25;
    int uppercasePercent = 25;
    int numbersPercent = 25;
    int specialPercent = 25;
    int customCharPercent = 0;
    QStringList customCharSet{QStringLiteral("Ä"), QStringLiteral("ä"), QStringLiteral("Ö"),
                              QStringLiteral("ö"), QStringLiteral("Ü"), QStringLiteral("ü"),
                              QStringLiteral("ß")};
    /// Every taking-part class occurs at least once.
    bool useAtleastOneOfSelected = false;
    /// Collected from the dialog; no set of similar characters is defined, so it has no effect.
    bool excludeSimilar = false;
    /// No character equals the one just before it.
    bool excludeIdentical = false;
    int passwordLength = 24;
};

} // namespace keskor
