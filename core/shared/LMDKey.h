#pragma once
// Keys derived from another key and a message (keyed BLAKE2b), used where a database travels
// inside an already protected channel and for keys bound to a purpose.

#include "core/shared/Key256.h"

#include <QByteArray>

namespace keskor {

class LMDKey {
public:
    static Key256 generateLMDKey(const Key256& key, const QByteArray& message);
};

} // namespace keskor
