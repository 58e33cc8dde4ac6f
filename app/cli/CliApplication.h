#pragma once
// keskor-cli's command line: finds the command, parses its options, runs it and turns what
// happened into the exit status (0 done, 1 a user error, 2 a usage error). The help of every
// command, the man page and the shell completion are written from the same command table.

#include "app/cli/CliCommand.h"
#include "app/cli/CliContext.h"

#include <QList>
#include <QStringList>

namespace keskor {

class CliApplication {
public:
    explicit CliApplication(CliContext::Streams streams = {});

    /// `arguments` as main() gets them, the program name first.
    int run(const QStringList& arguments);

    const QList<CliCommand>& commands() const { return m_commands; }
    const CliCommand* command(const QString& name) const;

    /// The tool's help: the usage line and the command list.
    QString toolHelp() const;
    QString commandHelp(const CliCommand& command) const;
    /// Every option of a command: its own and the common ones (--help, --profile, ...).
    static QList<QCommandLineOption> optionsOf(const CliCommand& command);
    /// The man page in roff.
    QString manPage() const;

private:
    int runCommand(const CliCommand& command, const QStringList& arguments);
    void print(std::FILE* stream, const QString& text) const;

    CliContext::Streams m_streams;
    QList<CliCommand> m_commands;
};

} // namespace keskor
