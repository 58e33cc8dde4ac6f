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
    /// Starts `program` with `arguments`; false when it could not be started.
    virtual bool launch(const QString& program, const QStringList& arguments) = 0;
};

} // namespace keskor
