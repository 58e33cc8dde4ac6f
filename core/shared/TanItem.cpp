#include "core/shared/TanItem.h"

namespace keskor {

ByteWriter& operator<<(ByteWriter& out, const TanItem& t) {
    return out << t.number << t.value << t.used << t.amount << t.comment << t.ccode;
}

ByteReader& operator>>(ByteReader& in, TanItem& t) {
    return in >> t.number >> t.value >> t.used >> t.amount >> t.comment >> t.ccode;
}

} // namespace keskor
