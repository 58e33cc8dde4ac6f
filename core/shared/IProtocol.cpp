#include "core/shared/IProtocol.h"

#include "core/shared/ServerProtocol.h"

namespace keskor {

std::unique_ptr<IProtocol> createServerProtocol(ProtocolVersion version) {
    // The versions differ only in flags the one implementation reads from its version.
    return std::make_unique<ServerProtocol>(version);
}

} // namespace keskor
