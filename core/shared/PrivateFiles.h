#pragma once
// The one place that decides who may read what we write. Anything that can hold a secret (a
// database, a backup, an export, a key file, a log with protocol dumps) is readable by its owner
// only, and the folders we create for it are closed to other accounts, whatever the umask.

#include <QFileDevice>
#include <QString>

namespace keskor {

class PrivateFiles {
public:
    /// rw------- : the mode of every file we write.
    static QFileDevice::Permissions fileMode();
    /// rwx------ : the mode of every folder we create.
    static QFileDevice::Permissions folderMode();

    /// The mode a file replacing `path` gets: the existing file's mode when that is stricter than
    /// `wanted` (the user tightened it), `wanted` otherwise.
    static QFileDevice::Permissions replacementMode(const QString& path,
                                                    QFileDevice::Permissions wanted);

    /// Creates `folder` and any missing parents, each one owner-only. Folders that already exist
    /// are left as they are (a shared parent such as ~/Documents is not ours to close).
    static bool makeFolder(const QString& folder);
};

} // namespace keskor
