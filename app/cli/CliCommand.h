#pragma once
// One keskor-cli command: its name, its arguments and options, the help text that --help and
// the man page are both made from, and what it does.

#include <QCommandLineOption>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
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
    /// What a word of `arguments` may be, for the shell completion ("PROVIDER": the drives).
    QMap<QString, QStringList> argumentWords;
};

/// An option without a value, for the option lists of the commands.
inline QCommandLineOption flagOption(const QString& name, const QString& description) {
    return QCommandLineOption(name, description);
}

/// An option that takes a value, shown as `valueName` in the help.
inline QCommandLineOption valueOption(const QStringList& names, const QString& description,
                                      const QString& valueName) {
    return QCommandLineOption(names, description, valueName);
}

} // namespace keskor
