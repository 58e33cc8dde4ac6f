#include "core/shared/Attachment.h"

#include <QIODevice>

namespace keskor {

void Attachment::writeData(QIODevice& out) const {
    // Chunked so a large attachment is not duplicated whole in memory as base64.
    constexpr qsizetype chunk = 3 * 64 * 1024;
    for (qsizetype pos = 0; pos < data.size(); pos += chunk) {
        out.write(data.mid(pos, chunk).toBase64());
    }
}

ByteWriter& operator<<(ByteWriter& out, const Attachment& a) {
    return out << a.fileName << a.originalPath << a.lastModified << a.data;
}

ByteReader& operator>>(ByteReader& in, Attachment& a) {
    return in >> a.fileName >> a.originalPath >> a.lastModified >> a.data;
}

} // namespace keskor
