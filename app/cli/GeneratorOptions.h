#pragma once
// The password generator's options on the command line, shared by `generate` and by
// `add`/`edit --generate`.

#include <QCommandLineOption>
#include <QList>
#include <QString>

namespace keskor {

class CliRun;
struct PasswordGeneratorOption;

class GeneratorOptions {
public:
    static QList<QCommandLineOption> options();
    /// The generator's settings from the command line; throws CliUsageError for values that
    /// do not fit.
    static PasswordGeneratorOption fromRun(const CliRun& run);
    /// One password as the options ask: the best of --tries draws, or one of the standard
    /// tab's pool with --simple.
    static QString generate(const CliRun& run);
};

} // namespace keskor
