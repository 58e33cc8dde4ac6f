#include "core/shared/ServerProtocol.h"

#include <array>

namespace keskor {

namespace {

// Listed once so the reverse lookup cannot drift from the enum.
constexpr std::array kAllCommands{
    ProtocolCommand::keyExchangeStart,
    ProtocolCommand::keyExchangeFinish,
    ProtocolCommand::serverInfo,
    ProtocolCommand::login,
    ProtocolCommand::azureLogin,
    ProtocolCommand::logout,
    ProtocolCommand::changePassword,
    ProtocolCommand::activate2FA,
    ProtocolCommand::confirm2FA,
    ProtocolCommand::login2FA,
    ProtocolCommand::listDatabases,
    ProtocolCommand::downloadDatabase,
    ProtocolCommand::uploadDatabase,
    ProtocolCommand::createDatabase,
    ProtocolCommand::deleteDatabase,
    ProtocolCommand::updateDatabaseProperties,
    ProtocolCommand::grantAccess,
    ProtocolCommand::revokeAccess,
    ProtocolCommand::sealedAccessRequest,
    ProtocolCommand::addItem,
    ProtocolCommand::updateItem,
    ProtocolCommand::deleteItem,
    ProtocolCommand::moveItem,
    ProtocolCommand::copyItem,
    ProtocolCommand::restoreItem,
    ProtocolCommand::emptyTrash,
    ProtocolCommand::addFolder,
    ProtocolCommand::updateFolder,
    ProtocolCommand::deleteFolder,
    ProtocolCommand::moveFolder,
    ProtocolCommand::setItemIcon,
    ProtocolCommand::addAttachment,
    ProtocolCommand::deleteAttachment,
    ProtocolCommand::updateDocument,
    ProtocolCommand::importItems,
    ProtocolCommand::addIgnoredUrl,
    ProtocolCommand::updateCategories,
};

} // namespace

std::int32_t ServerProtocol::commandCode(ProtocolCommand command) const {
    // Wire codes equal the enum's raw values in every version so far.
    return static_cast<std::int32_t>(command);
}

std::optional<ProtocolCommand> ServerProtocol::commandFromCode(std::int32_t code) const {
    for (ProtocolCommand c : kAllCommands) {
        if (commandCode(c) == code) {
            return c;
        }
    }
    return std::nullopt;
}

std::int32_t ServerProtocol::encryptionMode() const {
    return static_cast<int>(m_version) < 2 ? DATA_PACKET_ENCRYPT : DATA_PACKET_ENCRYPT_CBC;
}

bool ServerProtocol::usesKeyExchange() const {
    return m_version != ProtocolVersion::version1;
}

} // namespace keskor
