#pragma once
// The enterprise commands: log in to a server (remembered in the settings), list its databases,
// fetch one, log out. Every other command takes a database of the last server as DB when it is
// written "enterprise:NAME": it is fetched into memory, and a save sends the changed entries.

#include "app/cli/CliCommand.h"

#include <QList>

namespace keskor {

class CliRun;
class PassFile;

class EnterpriseCommands {
public:
    static constexpr const char* sourcePrefix = "enterprise:";

    static QList<CliCommand> commands();
    /// True for a DB argument of the form "enterprise:NAME".
    static bool isServerDatabase(const QString& argument);
    /// Logs in to the remembered server and opens NAME of "enterprise:NAME" in the session.
    /// Throws CommonException with the server's or the connection's failure.
    static PassFile& openServerDatabase(CliRun& run, const QString& argument);
    /// Waits until the session's edits reached the server; throws when some did not.
    static void finishSave(CliRun& run);
};

} // namespace keskor
