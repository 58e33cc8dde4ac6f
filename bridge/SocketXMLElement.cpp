#include "bridge/SocketXMLElement.h"

#include "bridge/WebFormXmlReader.h"
#include "core/shared/ParseHelper.h"

namespace keskor {

namespace {

// Attribute values go out as they came in; the extension reads them back itself.
void appendAttribute(QString& out, QLatin1StringView name, const QString& value) {
    out += u' ';
    out += name;
    out += QLatin1String("=\"");
    out += value;
    out += u'"';
}

} // namespace

SocketXMLElement SocketXMLElement::read(WebFormXmlReader& reader) {
    SocketXMLElement element;
    element.tag = reader.name().toString();
    element.name = reader.attribute(QLatin1StringView("name"));
    element.type = reader.attribute(QLatin1StringView("type"));
    element.idx = reader.integerAttribute(QLatin1StringView("idx")).value_or(kDefaultIdx);
    element.stringValue = reader.readElementText();
    return element;
}

bool SocketXMLElement::isPassword() const {
    return type.has_value() && type->compare(QLatin1String("password"), Qt::CaseInsensitive) == 0;
}

QString SocketXMLElement::xmlString() const {
    const QString tagText = tag.value_or(QString());
    QString out;
    out += u'<';
    out += tagText;
    if (name) {
        appendAttribute(out, QLatin1StringView("name"), *name);
    }
    if (type) {
        appendAttribute(out, QLatin1StringView("type"), *type);
    }
    appendAttribute(out, QLatin1StringView("idx"), QString::number(idx));
    out += u'>';
    if (stringValue) {
        out += ParseHelper::rawStringToXml(*stringValue);
    }
    out += QLatin1String("</");
    out += tagText;
    out += u'>';
    return out;
}

} // namespace keskor
