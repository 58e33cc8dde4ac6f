#pragma once
// One keskor-cli command: its name, its arguments and options, the help text that --help and
// the man page are both made from, and what it does.

#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <functional>

namespace keskor {

class CliRun;

struct CliCommand {
    QString name;
    /// The arguments as the usage line shows them: "DB ENTRY [FIELD]".
    QString arguments;
    /// One line for the command list.
    QString summary;
    /// Paragraphs for the command's help, separated by blank lines.
    QString description;
    QList<QCommandLineOption> options;
    int minArguments = 0;
    /// -1: any number.
    int maxArguments = 0;
    /// Whether the command works on a database (and so takes --key-file and --no-password).
    bool opensDatabase = false;
    /// Returns the exit status; throws CommonException for a user error, CliUsageError for a
    /// command line that does not fit.
    std::function<int(CliRun&)> run;
};

} // namespace keskor
