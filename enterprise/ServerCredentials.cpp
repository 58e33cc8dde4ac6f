#include "enterprise/ServerCredentials.h"

namespace keskor {

QString ServerCredentials::endpoint() const {
    return QStringLiteral("%1:%2").arg(host).arg(port);
}

} // namespace keskor
