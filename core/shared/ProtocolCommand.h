#pragma once
// Every request the client sends to an enterprise server, named by purpose. The wire code of
// each comes from IProtocol::commandCode, so a later protocol may renumber them.

namespace keskor {

enum class ProtocolCommand : int {
    // Session set-up.
    keyExchangeStart = 1,
    keyExchangeFinish = 2,
    serverInfo = 3,
    // Authentication.
    login = 10,
    azureLogin = 11,
    logout = 12,
    changePassword = 13,
    activate2FA = 20,
    confirm2FA = 21,
    login2FA = 22,
    // Databases as a whole.
    listDatabases = 30,
    downloadDatabase = 31,
    uploadDatabase = 32,
    createDatabase = 33,
    deleteDatabase = 34,
    updateDatabaseProperties = 35,
    // Access rights.
    grantAccess = 40,
    revokeAccess = 41,
    sealedAccessRequest = 42,
    // Per-entry edits of an open enterprise database.
    addItem = 50,
    updateItem = 51,
    deleteItem = 52,
    moveItem = 53,
    copyItem = 54,
    restoreItem = 55,
    emptyTrash = 56,
    addFolder = 57,
    updateFolder = 58,
    deleteFolder = 59,
    moveFolder = 60,
    setItemIcon = 61,
    addAttachment = 62,
    deleteAttachment = 63,
    updateDocument = 64,
    importItems = 65,
    addIgnoredUrl = 66,
    updateCategories = 67,
};

} // namespace keskor
