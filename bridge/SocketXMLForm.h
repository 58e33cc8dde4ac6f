#pragma once
// One form of a web page: its "name" and "idx" attributes and its fields in page order.

#include "bridge/SocketXMLElement.h"

#include <QList>
#include <QMetaType>
#include <QString>
#include <optional>

namespace keskor {

class WebFormXmlReader;

class SocketXMLForm {
public:
    /// A form without a (decimal) "idx" attribute has this index (fields default to 1).
    static constexpr int kDefaultIdx = 0;

    SocketXMLForm() = default;
    /// Reads the form element the reader is on, up to its end: its fields are the child
    /// elements of its first "fields" child. Throws CommonException.
    static SocketXMLForm read(WebFormXmlReader& reader);

    /// Form start, the fields, form end.
    QString xmlString() const;

    /// The value of the first field that is not a password field (one without type counts),
    /// or an empty text.
    QString userName() const;
    /// The value of the first password field, or an empty text.
    QString password() const;

    std::optional<QString> name;
    int idx = kDefaultIdx;
    QList<SocketXMLElement> subElements;

    bool operator==(const SocketXMLForm&) const = default;
};

} // namespace keskor

// The add dialog receives the submitted form through the presenter's value map.
Q_DECLARE_METATYPE(keskor::SocketXMLForm)
