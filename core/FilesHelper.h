#pragma once
// Which file names are databases.

#include <QString>
#include <QStringList>

namespace keskor {

class FilesHelper {
public:
    /// True when the name, in lower case, ends with a supported extension.
    static bool isSupported(const QString& name);
    /// The extensions without their dot, in lower and upper case, as file choosers and the
    /// archive reader accept them.
    static QStringList archiveExtensions();
    /// What the save chooser offers.
    static QStringList saveExtensions() { return {QStringLiteral("pswe"), QStringLiteral("pswd")}; }
};

} // namespace keskor
