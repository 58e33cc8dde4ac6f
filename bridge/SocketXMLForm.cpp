#include "bridge/SocketXMLForm.h"

#include "bridge/WebFormXmlReader.h"

namespace keskor {

SocketXMLForm SocketXMLForm::read(WebFormXmlReader& reader) {
    SocketXMLForm form;
    form.name = reader.attribute(QLatin1StringView("name"));
    form.idx = reader.integerAttribute(QLatin1StringView("idx")).value_or(kDefaultIdx);
    bool haveFields = false;
    while (reader.readNextChildElement()) {
        if (haveFields || reader.name() != QLatin1String("fields")) {
            reader.skipCurrentElement();
            continue;
        }
        haveFields = true;
        while (reader.readNextChildElement()) {
            form.subElements.append(SocketXMLElement::read(reader));
        }
    }
    return form;
}

QString SocketXMLForm::xmlString() const {
    QString out = QStringLiteral("<formdata name=\"") + name.value_or(QString()) +
                  QStringLiteral("\" idx=\"") + QString::number(idx) +
                  QStringLiteral("\"><fields>");
    for (const auto& element : subElements) {
        out += element.xmlString();
    }
    out += QLatin1String("</fields></formdata>");
    return out;
}

QString SocketXMLForm::userName() const {
    for (const auto& element : subElements) {
        if (!element.isPassword()) {
            return element.stringValue.value_or(QString());
        }
    }
    return {};
}

QString SocketXMLForm::password() const {
    for (const auto& element : subElements) {
        if (element.isPassword()) {
            return element.stringValue.value_or(QString());
        }
    }
    return {};
}

} // namespace keskor
