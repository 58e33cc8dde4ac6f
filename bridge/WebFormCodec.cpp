#include "bridge/WebFormCodec.h"

#include <QByteArray>
#include <algorithm>

namespace keskor {

QString WebFormCodec::decodeXmlValue(const QString& value) {
    // Base64 is ASCII; anything else cannot be an encoded document.
    const bool asciiValue =
        std::all_of(value.cbegin(), value.cend(), [](QChar c) { return c.unicode() < 0x80; });
    // Strict base64 comes in padded groups of four.
    if (!asciiValue || value.size() % 4 != 0) {
        return value;
    }
    const auto decoded =
        QByteArray::fromBase64Encoding(value.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) {
        return value;
    }
    const QByteArray& bytes = *decoded;
    const bool asciiText = std::all_of(bytes.cbegin(), bytes.cend(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return asciiText ? QString::fromLatin1(bytes) : value;
}

QString WebFormCodec::encodeXmlValue(const QString& document) {
    return QString::fromLatin1(document.toUtf8().toBase64());
}

} // namespace keskor
