#include "app/cli/GeneratorOptions.h"

#include "app/cli/CliRun.h"
#include "app/cli/CliUsageError.h"
#include "tools/PasswordGeneratorOption.h"
#include "tools/PasswordHelper.h"
#include "tools/SystemRandomSource.h"

namespace keskor {

QList<QCommandLineOption> GeneratorOptions::options() {
    return {
        {{QStringLiteral("L"), QStringLiteral("length")},
         QStringLiteral("Password length (default 24)."),
         QStringLiteral("N")},
        {QStringLiteral("l"), QStringLiteral("Lower-case letters take part.")},
        {QStringLiteral("U"), QStringLiteral("Upper-case letters take part.")},
        {QStringLiteral("n"), QStringLiteral("Digits take part.")},
        {QStringLiteral("s"), QStringLiteral("Special characters take part.")},
        {QStringLiteral("custom"), QStringLiteral("The characters of the custom class."),
         QStringLiteral("CHARS")},
        {QStringLiteral("percent"),
         QStringLiteral("Class shares in percent: lower,upper,digits,special,custom."),
         QStringLiteral("P")},
        {QStringLiteral("selected"), QStringLiteral("Draw only from these characters."),
         QStringLiteral("CHARS")},
        {QStringLiteral("at-least-one"), QStringLiteral("Every class taking part occurs.")},
        {QStringLiteral("exclude-identical"),
         QStringLiteral("No character equals the one before it.")},
        {QStringLiteral("tries"),
         QStringLiteral("Draw N passwords and keep the strongest (default 10)."),
         QStringLiteral("N")},
        {QStringLiteral("simple"),
         QStringLiteral("Draw uniformly from the chosen classes (at most 255 characters).")},
    };
}

PasswordGeneratorOption GeneratorOptions::fromRun(const CliRun& run) {
    PasswordGeneratorOption option;
    option.passwordLength =
        run.intValue(QStringLiteral("length"), 1, PasswordHelper::kMaxPasswordLength, 24);
    if (run.isSet(QStringLiteral("custom"))) {
        option.customCharSet = PasswordHelper::characters(run.value(QStringLiteral("custom")));
        if (option.customCharSet.isEmpty()) {
            throw CliUsageError(QStringLiteral("--custom needs at least one character."));
        }
    }
    const bool anyClass = run.isSet(QStringLiteral("l")) || run.isSet(QStringLiteral("U")) ||
                          run.isSet(QStringLiteral("n")) || run.isSet(QStringLiteral("s")) ||
                          run.isSet(QStringLiteral("custom"));
    if (run.isSet(QStringLiteral("percent"))) {
        const QStringList parts = run.value(QStringLiteral("percent")).split(u',');
        QList<int> shares;
        for (const QString& part : parts) {
            bool ok = false;
            const int value = part.trimmed().toInt(&ok);
            if (!ok || value < 0 || value > 100) {
                throw CliUsageError(
                    QStringLiteral("--percent takes five numbers from 0 to 100, not \"%1\".")
                        .arg(part));
            }
            shares.append(value);
        }
        if (shares.size() != 5) {
            throw CliUsageError(
                QStringLiteral("--percent takes five shares: lower,upper,digits,special,custom."));
        }
        if (shares[0] + shares[1] + shares[2] + shares[3] + shares[4] != 100) {
            throw CliUsageError(QStringLiteral("The shares of --percent must add up to 100."));
        }
        option.lowercasePercent = shares[0];
        option.uppercasePercent = shares[1];
        option.numbersPercent = shares[2];
        option.specialPercent = shares[3];
        option.customCharPercent = shares[4];
    } else if (anyClass) {
        // The chosen classes share the password equally; the last takes the rest.
        QList<int*> chosen;
        const auto take = [&](const char* name, int& share) {
            share = 0;
            if (run.isSet(QString::fromLatin1(name))) {
                chosen.append(&share);
            }
        };
        take("l", option.lowercasePercent);
        take("U", option.uppercasePercent);
        take("n", option.numbersPercent);
        take("s", option.specialPercent);
        take("custom", option.customCharPercent);
        int left = 100;
        for (qsizetype i = 0; i < chosen.size(); ++i) {
            *chosen[i] = i + 1 == chosen.size() ? left : 100 / int(chosen.size());
            left -= *chosen[i];
        }
    }
    if (run.isSet(QStringLiteral("selected"))) {
        option.useOnlySelectedChars = true;
        option.selectedCharSet = PasswordHelper::characters(run.value(QStringLiteral("selected")));
        if (option.selectedCharSet.isEmpty()) {
            throw CliUsageError(QStringLiteral("--selected needs at least one character."));
        }
    }
    option.useAtleastOneOfSelected = run.isSet(QStringLiteral("at-least-one"));
    option.excludeIdentical = run.isSet(QStringLiteral("exclude-identical"));
    return option;
}

QString GeneratorOptions::generate(const CliRun& run) {
    if (run.isSet(QStringLiteral("simple"))) {
        const bool any = run.isSet(QStringLiteral("l")) || run.isSet(QStringLiteral("U")) ||
                         run.isSet(QStringLiteral("n")) || run.isSet(QStringLiteral("s"));
        const int length = run.intValue(QStringLiteral("length"), 1, 255, 24);
        SystemRandomSource random;
        return PasswordHelper::generateSimplePassword(
            length, !any || run.isSet(QStringLiteral("U")), !any || run.isSet(QStringLiteral("l")),
            !any || run.isSet(QStringLiteral("s")), !any || run.isSet(QStringLiteral("n")), random);
    }
    const PasswordGeneratorOption option = fromRun(run);
    return PasswordHelper::generateBestPassword(
        option, run.intValue(QStringLiteral("tries"), 1, PasswordHelper::kMaxTries, 10));
}

} // namespace keskor
