#pragma once
// The commands that tidy a database and the profile: clean, replace, backups and settings.
// Every change asks first (--yes answers) and is saved through the session save.

#include "app/cli/CliCommand.h"

#include <QList>

namespace keskor {

class MaintenanceCommands {
public:
    static QList<CliCommand> commands();
};

} // namespace keskor
