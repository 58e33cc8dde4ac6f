#include "core/shared/PswField.h"

namespace keskor {

ByteWriter& operator<<(ByteWriter& out, const PswField& f) {
    return out << f.name << f.value << f.inputId << f.visible;
}

ByteReader& operator>>(ByteReader& in, PswField& f) {
    return in >> f.name >> f.value >> f.inputId >> f.visible;
}

} // namespace keskor
