#pragma once
// One field of a web form as the browser extension sends it: the element's own name, its
// "name", "type" and "idx" attributes and its text (the field's value). Written back in the
// same shape, with the value filled in.

#include <QString>
#include <optional>

namespace keskor {

class WebFormXmlReader;

class SocketXMLElement {
public:
    /// A field without a (decimal) "idx" attribute has this index.
    static constexpr int kDefaultIdx = 1;

    SocketXMLElement() = default;
    /// Reads the field element the reader is on, up to its end. Throws CommonException.
    static SocketXMLElement read(WebFormXmlReader& reader);

    /// "password" in any letter case.
    bool isPassword() const;
    /// The field as one element: tag, name and type when present, idx, the escaped value.
    QString xmlString() const;

    std::optional<QString> tag;
    std::optional<QString> name;
    std::optional<QString> type;
    int idx = kDefaultIdx;
    std::optional<QString> stringValue;

    bool operator==(const SocketXMLElement&) const = default;
};

} // namespace keskor
