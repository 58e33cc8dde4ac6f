#include "bridge/SocketXMLForms.h"

#include "bridge/WebFormXmlReader.h"
#include "core/shared/CommonException.h"

namespace keskor {

SocketXMLForms SocketXMLForms::fromDocument(const QString& text) {
    try {
        return parseDocument(text);
    } catch (const CommonException&) {
        return {};
    }
}

SocketXMLForms SocketXMLForms::parseDocument(const QString& text) {
    // No UTF-8 form can be shorter than its UTF-16 one, so a huge text is refused before it is
    // converted.
    if (text.size() > WebFormXmlReader::kMaxDocumentBytes) {
        throw CommonException(QStringLiteral("Web form: the document is larger than %1 bytes")
                                  .arg(WebFormXmlReader::kMaxDocumentBytes));
    }
    // Some extensions declare "unicode", which no XML parser knows; the text is UTF-8 anyway.
    QString declared = text;
    declared.replace(QLatin1String("encoding=\"unicode\""), QLatin1String("encoding=\"utf-8\""));

    WebFormXmlReader reader(declared.toUtf8());
    reader.readRootElement();
    SocketXMLForms forms;
    while (reader.readNextChildElement()) {
        forms.subForms.append(SocketXMLForm::read(reader));
    }
    reader.finish();
    return forms;
}

QString SocketXMLForms::xmlString() const {
    QString out = QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?><forms>");
    for (const auto& form : subForms) {
        out += form.xmlString();
    }
    out += QLatin1String("</forms>");
    return out;
}

} // namespace keskor
