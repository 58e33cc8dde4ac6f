#pragma once
// The commands over the entry tools: generate, estimate, analyze, pwned, export, keyfile and
// clip. They drive the same logic as the tool windows of the desktop program.

#include "app/cli/CliCommand.h"

#include <QList>

namespace keskor {

class ToolCommands {
public:
    static QList<CliCommand> commands();
};

} // namespace keskor
