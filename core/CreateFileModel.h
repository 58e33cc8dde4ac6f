#pragma once
// The answers of the new-database dialog.

#include "core/Location.h"
#include "core/shared/FileCredentials.h"
#include "core/shared/PassFile.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <utility>

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
    /// The key-derivation cost as shown to the user or given on the command line; without it
    /// the cost is measured on this machine.
    std::optional<std::pair<std::uint64_t, std::uint32_t>> kdfMemoryAndPasses;
};

} // namespace keskor
