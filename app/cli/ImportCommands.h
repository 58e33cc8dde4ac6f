#pragma once
// `import`: new entries from a file of our own XML export, a KeePass 2 XML export, a KDBX 4 or 3.1
// database or a CSV with a header row.

#include "app/cli/CliCommand.h"

#include <QList>

namespace keskor {

class ImportCommands {
public:
    static QList<CliCommand> commands();
    /// The format of a file by its content: "passwordfile", "keepass-xml", "kdbx" or "csv".
    static QString detectFormat(const QByteArray& head, const QString& fileName);
};

} // namespace keskor
