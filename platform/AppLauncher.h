#pragma once
// Starts other programs, detached from this one, and finds them on the search path.

#include <QString>
#include <QStringList>

namespace keskor {

class AppLauncher {
public:
    virtual ~AppLauncher() = default;
    /// The full path of the first of `names` found on PATH; empty when none is.
    virtual QString findProgram(const QStringList& names) const = 0;
    /// The command of the first of the desktop entries `ids` ("firefox.desktop") that is
    /// installed and can be run: its program and arguments without the field codes (%u, %F,
    /// ...); empty when none is. Finds programs that are not on PATH, such as Flatpak apps.
    virtual QStringList desktopEntryCommand(const QStringList& ids) const = 0;
    /// Starts `program` with `arguments`; false when it could not be started.
    virtual bool launch(const QString& program, const QStringList& arguments) = 0;
};

} // namespace keskor
