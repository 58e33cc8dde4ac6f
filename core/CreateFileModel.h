#pragma once
// The answers of the new-database dialog.

#include "core/Location.h"
#include "core/shared/FileCredentials.h"
#include "core/shared/PassFile.h"

#include <QString>
#include <optional>

namespace keskor {

struct CreateFileModel {
    Location location = Location::localDevice;
    PassFile::FileType fileType = PassFile::FileType::Zip;
    QString name;
    /// The folder of a local database (chosen in the save chooser); unused elsewhere.
    QString path;
    std::optional<QString> hint;
    std::optional<QString> description;
    FileCredentials credentials;
    bool isAdvanceEncryption = false;
};

} // namespace keskor
