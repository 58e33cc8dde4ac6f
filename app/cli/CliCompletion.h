#pragma once
// keskor-cli's shell completion for bash and zsh, written from the command table so that it
// knows every command and option the program has: commands, their options, database and other
// file names where the arguments take them, and the words an argument may be (the drives of
// `cloud`, the verbs of `settings`).

#include "app/cli/CliCommand.h"

#include <QList>
#include <QString>
#include <functional>

namespace keskor {

class CliCompletion {
public:
    /// `options` gives every option a command takes, the common ones included.
    using OptionsOf = std::function<QList<QCommandLineOption>(const CliCommand&)>;

    CliCompletion(const QList<CliCommand>& commands, OptionsOf options);

    /// A script for bash-completion's completions folder.
    QString bash() const;
    /// A #compdef function for zsh's completion path.
    QString zsh() const;

    /// The ways a command's arguments may be written, one a list of word patterns: "=a|b" for
    /// one of those words, "db" for a database file, "file", "dir", "-" for anything.
    static QStringList patterns(const CliCommand& command);

private:
    const QList<CliCommand>& m_commands;
    OptionsOf m_options;
};

} // namespace keskor
