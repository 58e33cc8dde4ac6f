#pragma once
// How a form document travels inside the bridge's JSON messages: extensions send it either
// as base64 of ASCII text or as the text itself; the application always answers in base64 of
// the UTF-8 text.

#include <QString>

namespace keskor {

class WebFormCodec {
public:
    /// The document of an "xml" request value: the decoded text when the value is strict
    /// base64 of ASCII bytes, otherwise the value as it stands.
    static QString decodeXmlValue(const QString& value);
    /// The "xml" value of a reply: base64 of the document's UTF-8 bytes.
    static QString encodeXmlValue(const QString& document);
};

} // namespace keskor
