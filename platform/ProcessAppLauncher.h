#pragma once
// Programs started detached with QProcess, looked up on the PATH of this process or through
// the desktop entries of the XDG data folders.

#include "platform/AppLauncher.h"

namespace keskor {

class ProcessAppLauncher : public AppLauncher {
public:
    QString findProgram(const QStringList& names) const override;
    QStringList desktopEntryCommand(const QStringList& ids) const override;
    bool launch(const QString& program, const QStringList& arguments) override;
};

} // namespace keskor
