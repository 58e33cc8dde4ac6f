#pragma once
// The commands that change entries and folders: add, edit, rm, mkdir, mv. Each change is saved
// through the session save, so backups and settings apply as in the desktop program.

#include "app/cli/CliCommand.h"

#include <QList>

namespace keskor {

class EntryCommands {
public:
    static QList<CliCommand> commands();
    /// The stored kind for a name ("password", "creditcard"...); throws CliUsageError.
    static int typeFromName(const QString& name);
    static QString typeName(int type);
    static const QStringList& typeNames();
};

} // namespace keskor
