#include "app/cli/CliApplication.h"

#include "app/cli/CliCompletion.h"
#include "app/cli/CliRun.h"
#include "app/cli/CliUsageError.h"
#include "app/cli/CloudCommands.h"
#include "app/cli/DatabaseCommands.h"
#include "app/cli/EnterpriseCommands.h"
#include "app/cli/EntryCommands.h"
#include "app/cli/ImportCommands.h"
#include "app/cli/MaintenanceCommands.h"
#include "app/cli/ToolCommands.h"
#include "core/shared/CommonException.h"

#include <QCommandLineParser>
#include <csignal>

namespace keskor {

namespace {

const QString kTool = QStringLiteral("keskor-cli");

QList<QCommandLineOption> commonOptions(const CliCommand& command) {
    QList<QCommandLineOption> options{
        {{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help.")},
        {QStringLiteral("profile"),
         QStringLiteral("Keep settings, recent list and backups under DIR (also KESKOR_HOME)."),
         QStringLiteral("DIR")},
        {{QStringLiteral("q"), QStringLiteral("quiet")},
         QStringLiteral("Print only the data asked for and errors: no confirmations, progress or "
                        "notes.")}};
    if (command.opensDatabase) {
        options.append({QStringLiteral("key-file"), QStringLiteral("The key file of the database."),
                        QStringLiteral("F")});
    }
    return options;
}

QString optionSyntax(const QCommandLineOption& option) {
    QStringList names;
    for (const QString& name : option.names()) {
        names.append((name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name);
    }
    QString text = names.join(QStringLiteral(", "));
    if (!option.valueName().isEmpty()) {
        text += u' ' + option.valueName();
    }
    return text;
}

QString roffEscape(QString text) {
    text.replace(u'\\', QStringLiteral("\\e"));
    text.replace(u'-', QStringLiteral("\\-"));
    QStringList lines = text.split(u'\n');
    for (QString& line : lines) {
        if (line.startsWith(u'.') || line.startsWith(u'\'')) {
            line.prepend(QStringLiteral("\\&"));
        }
    }
    return lines.join(u'\n');
}

} // namespace

CliApplication::CliApplication(CliContext::Streams streams) : m_streams(streams) {
    m_commands.append(DatabaseCommands::commands());
    m_commands.append(EntryCommands::commands());
    m_commands.append(EnterpriseCommands::commands());
    m_commands.append(ImportCommands::commands());
    m_commands.append(ToolCommands::commands());
    m_commands.append(MaintenanceCommands::commands());
    m_commands.append(CloudCommands::commands());
}

const CliCommand* CliApplication::command(const QString& name) const {
    for (const CliCommand& c : m_commands) {
        if (c.name == name) {
            return &c;
        }
    }
    return nullptr;
}

void CliApplication::print(std::FILE* stream, const QString& text) const {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
}

QString CliApplication::toolHelp() const {
    QString text = QStringLiteral(
        "Usage: keskor-cli COMMAND [options]\n\n"
        "Works with Keskor password databases from a terminal. The master password is read\n"
        "from the terminal without echo, or as one line from standard input when that is not a\n"
        "terminal. Entries are named by folder path and description (\"Banking/Online/My bank\")\n"
        "or with --uuid FINGERPRINT.\n\nCommands:\n");
    for (const CliCommand& c : m_commands) {
        text += QStringLiteral("  %1%2\n").arg(c.name, -10).arg(c.summary);
    }
    text += QStringLiteral(
        "\nRun keskor-cli COMMAND --help for a command's options.\n"
        "Exit status: 0 on success, 1 when the command failed, 2 for a wrong command line.\n");
    return text;
}

QList<QCommandLineOption> CliApplication::optionsOf(const CliCommand& command) {
    return command.options + commonOptions(command);
}

QString CliApplication::commandHelp(const CliCommand& command) const {
    QString text = QStringLiteral("Usage: %1 %2%3 [options]\n\n%4\n")
                       .arg(kTool, command.name,
                            command.arguments.isEmpty() ? QString() : u' ' + command.arguments,
                            command.summary);
    if (!command.description.isEmpty()) {
        text += u'\n' + command.description + u'\n';
    }
    text += QStringLiteral("\nOptions:\n");
    for (const QCommandLineOption& option : optionsOf(command)) {
        text += QStringLiteral("  %1\n      %2\n").arg(optionSyntax(option), option.description());
    }
    return text;
}

QString CliApplication::manPage() const {
    QString page = QStringLiteral(
        ".TH KESKOR-CLI 1\n.SH NAME\nkeskor\\-cli \\- Keskor password databases from a terminal\n"
        ".SH SYNOPSIS\n.B keskor\\-cli\n.I COMMAND\n[\\fIoptions\\fR]\n.SH DESCRIPTION\n");
    const QString intro = toolHelp().section(QStringLiteral("\n\n"), 1, 1);
    page += roffEscape(intro) + u'\n';
    page += QStringLiteral(".SH COMMANDS\n");
    for (const CliCommand& c : m_commands) {
        page += QStringLiteral(".SS %1 %2\n%3\n")
                    .arg(roffEscape(c.name), roffEscape(c.arguments), roffEscape(c.summary));
        if (!c.description.isEmpty()) {
            page += QStringLiteral(".PP\n") + roffEscape(c.description) + u'\n';
        }
        for (const QCommandLineOption& option : optionsOf(c)) {
            page += QStringLiteral(".TP\n.B %1\n%2\n")
                        .arg(roffEscape(optionSyntax(option)), roffEscape(option.description()));
        }
    }
    page += QStringLiteral(
        ".SH EXIT STATUS\n0 on success, 1 when the command failed (the reason is on standard "
        "error), 2 for a wrong command line.\n");
    return page;
}

int CliApplication::run(const QStringList& arguments) {
    // A reader that goes away (keskor-cli ls | head) ends the output, not the program with
    // SIGPIPE halfway through a save.
    std::signal(SIGPIPE, SIG_IGN);
    const QString first = arguments.value(1);
    if (first.isEmpty() || first == QStringLiteral("--help") || first == QStringLiteral("-h") ||
        first == QStringLiteral("help")) {
        const QString topic = arguments.value(2);
        if (first == QStringLiteral("help") && !topic.isEmpty()) {
            if (const CliCommand* c = command(topic)) {
                print(m_streams.out, commandHelp(*c));
                return 0;
            }
        }
        print(first.isEmpty() ? m_streams.err : m_streams.out, toolHelp());
        return first.isEmpty() ? 2 : 0;
    }
    if (first == QStringLiteral("--version")) {
        print(m_streams.out, QStringLiteral("keskor-cli %1\n").arg(QStringLiteral(KESKOR_VERSION)));
        return 0;
    }
    if (first == QStringLiteral("--man")) {
        print(m_streams.out, manPage());
        return 0;
    }
    // Not in the help: the build writes the completion scripts with it.
    if (first == QStringLiteral("--completion")) {
        const CliCompletion completion(m_commands, &CliApplication::optionsOf);
        const QString shell = arguments.value(2);
        if (shell == u"bash" || shell == u"zsh") {
            print(m_streams.out, shell == u"bash" ? completion.bash() : completion.zsh());
            return 0;
        }
        print(m_streams.err, QStringLiteral("%1: --completion takes bash or zsh\n").arg(kTool));
        return 2;
    }
    const CliCommand* c = command(first);
    if (!c) {
        print(m_streams.err,
              QStringLiteral("%1: unknown command \"%2\"; see %1 --help\n").arg(kTool, first));
        return 2;
    }
    return runCommand(*c, arguments);
}

int CliApplication::runCommand(const CliCommand& command, const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    parser.addOptions(optionsOf(command));
    QStringList commandLine = arguments;
    commandLine.removeAt(1);
    const auto usage = [&](const QString& message) {
        print(m_streams.err,
              QStringLiteral("%1 %2: %3\nUsage: %1 %2 %4 [options]; see %1 %2 --help\n")
                  .arg(kTool, command.name, message, command.arguments));
        return 2;
    };
    if (!parser.parse(commandLine)) {
        return usage(parser.errorText());
    }
    if (parser.isSet(QStringLiteral("help"))) {
        print(m_streams.out, commandHelp(command));
        return 0;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() < command.minArguments ||
        (command.maxArguments >= 0 && positional.size() > command.maxArguments)) {
        return usage(positional.size() < command.minArguments
                         ? QStringLiteral("missing arguments")
                         : QStringLiteral("too many arguments"));
    }
    std::optional<QString> keyFile;
    if (command.opensDatabase && parser.isSet(QStringLiteral("key-file"))) {
        keyFile = parser.value(QStringLiteral("key-file"));
    }
    CliContext context(commandLine, keyFile, m_streams);
    CliRun run(context, parser, positional);
    try {
        return command.run(run);
    } catch (const CliUsageError& e) {
        return usage(e.message());
    } catch (const CommonException& e) {
        print(m_streams.err, QStringLiteral("%1 %2: %3\n").arg(kTool, command.name, e.message()));
        return 1;
    }
}

} // namespace keskor
