#pragma once
// One command being run: its parsed command line, output, and the database it works on.

#include <QCommandLineParser>
#include <QJsonArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace keskor {

class CliContext;
class Info2Item;
class PassFile;

class CliRun {
public:
    CliRun(CliContext& context, const QCommandLineParser& parser, QStringList arguments);

    CliContext& context() { return m_context; }
    const QStringList& arguments() const { return m_arguments; }
    /// The positional argument `index`, or an empty text.
    QString argument(int index) const { return m_arguments.value(index); }

    /// The same run without its first positional argument (a command's verb).
    CliRun shifted() const { return CliRun(m_context, m_parser, m_arguments.mid(1)); }

    bool isSet(const QString& option) const { return m_parser.isSet(option); }
    QString value(const QString& option) const { return m_parser.value(option); }
    QStringList values(const QString& option) const { return m_parser.values(option); }
    /// The option's value as a whole number in [min, max]; `fallback` when the option is not
    /// given. Throws CliUsageError for anything else.
    int intValue(const QString& option, int min, int max, int fallback) const;

    /// A line to standard output / standard error, as UTF-8.
    void out(const QString& line) const;
    /// Bytes to standard output as they are.
    void write(QByteArrayView bytes) const;
    void err(const QString& line) const;
    /// What a person wants to read and a script does not: confirmations ("Imported ...") to
    /// standard output, progress and notes to standard error; neither with --quiet.
    void confirm(const QString& line) const;
    void note(const QString& line) const;
    /// A JSON array to standard output, indented, for --json.
    void outJson(const QJsonArray& array) const;

    /// Asks for a secret on the terminal without echo (twice when `confirm` and interactive),
    /// or reads one line from standard input. Throws CommonException when none is given.
    QString readSecret(const QString& prompt, bool confirm) const;

    /// Opens the database file at `path` through the open workflow (credentials from the
    /// terminal or standard input, --key-file), or "enterprise:NAME" from the remembered
    /// enterprise server. Throws CommonException when it stays closed.
    PassFile& openDatabase(const QString& path);
    /// The same open for a command that only reads: the profile is left untouched (no
    /// opening backup, recent list or reopen flag).
    PassFile& openToRead(const QString& path);
    /// The open database.
    PassFile& database();
    /// The save of the session after a change: backups and settings apply. Throws on failure.
    void saveDatabase();

    /// The entry named by --uuid when given, otherwise by the path argument `path`.
    std::shared_ptr<Info2Item> entry(const QString& path);

private:
    CliContext& m_context;
    const QCommandLineParser& m_parser;
    QStringList m_arguments;
};

} // namespace keskor
