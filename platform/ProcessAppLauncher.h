#pragma once
// Programs started detached with QProcess, looked up on the PATH of this process.

#include "platform/AppLauncher.h"

namespace keskor {

class ProcessAppLauncher : public AppLauncher {
public:
    QString findProgram(const QStringList& names) const override;
    bool launch(const QString& program, const QStringList& arguments) override;
};

} // namespace keskor
