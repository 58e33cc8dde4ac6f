#pragma once
// The file browser's delegate for tests: keeps every file it is asked to open.

#include "core/CloudDBManagerViewControllerDelegate.h"

#include <memory>
#include <utility>
#include <vector>

namespace keskor::testing {

class RecordingCloudDelegate : public CloudDBManagerViewControllerDelegate {
public:
    void openRemoteFile(std::shared_ptr<RemoteFileInfo> file, Location location) override {
        opened.emplace_back(std::move(file), location);
    }
    std::vector<std::pair<std::shared_ptr<RemoteFileInfo>, Location>> opened;
};

} // namespace keskor::testing
