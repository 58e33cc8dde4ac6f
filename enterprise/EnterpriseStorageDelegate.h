#pragma once
// Told when the enterprise storage's list of databases changed (the chooser reloads its table).

namespace keskor {

class EnterpriseStorageDelegate {
public:
    virtual ~EnterpriseStorageDelegate() = default;
    virtual void databaseListChanged() = 0;
};

} // namespace keskor
