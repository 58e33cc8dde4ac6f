#pragma once
// Hands out the one storage object of each remote location, made on first use and kept for the
// rest of the run, so a provider's sign-in state is shared by everyone who asks.

#include "core/IRemoteStorage.h"
#include "core/Location.h"

#include <functional>
#include <map>
#include <memory>

namespace keskor {

class RemoteStorageManager {
public:
    /// Makes the storage of a location, or nullptr for one without a store. The composition
    /// root passes the providers' factory; without one no location has a store.
    using Factory = std::function<std::unique_ptr<IRemoteStorage>(Location)>;

    explicit RemoteStorageManager(Factory factory = {});

    /// The storage of `location`; nullptr for `localDevice`, `protectedDevice`,
    /// `backupDevice` and `ftp`, and for locations the factory has no store for.
    IRemoteStorage* storage(Location location);

    static bool hasStore(Location location);

private:
    Factory m_factory;
    std::map<Location, std::unique_ptr<IRemoteStorage>> m_remoteStorages;
};

} // namespace keskor
