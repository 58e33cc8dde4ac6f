#pragma once
// The cloud drives from a terminal: sign in through the browser, list the databases of the
// drive's folder, fetch one into a local file and upload a local file, so a database can be
// edited with the other commands between a pull and a push.

#include "app/cli/CliCommand.h"

#include <QList>

namespace keskor {

class CloudCommands {
public:
    static QList<CliCommand> commands();
};

} // namespace keskor
