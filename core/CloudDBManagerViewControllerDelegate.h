#pragma once
// Who the remote file browser hands the chosen file to: the open workflow of the program.

#include "core/Location.h"
#include "core/RemoteFileInfo.h"

#include <memory>

namespace keskor {

class CloudDBManagerViewControllerDelegate {
public:
    virtual ~CloudDBManagerViewControllerDelegate() = default;

    /// Fetches `file` from the store of `location` and opens it.
    virtual void openRemoteFile(std::shared_ptr<RemoteFileInfo> file, Location location) = 0;
};

} // namespace keskor
