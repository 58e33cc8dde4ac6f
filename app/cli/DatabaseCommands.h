#pragma once
// The commands that create a database and read it: create, ls, show, search, recent.

#include "app/cli/CliCommand.h"

#include <QList>

namespace keskor {

class DatabaseCommands {
public:
    static QList<CliCommand> commands();
};

} // namespace keskor
