#include "bridge/WebFormXmlReader.h"

#include "core/shared/CommonException.h"

namespace keskor {

namespace {

QString describe(QXmlStreamReader::Error error) {
    switch (error) {
    case QXmlStreamReader::PrematureEndOfDocumentError:
        return QStringLiteral("the web form document ends before it is complete");
    case QXmlStreamReader::NotWellFormedError:
        return QStringLiteral("the web form document is not well-formed XML");
    case QXmlStreamReader::UnexpectedElementError:
        return QStringLiteral("the web form document has an unexpected element");
    case QXmlStreamReader::CustomError:
    case QXmlStreamReader::NoError:
        break;
    }
    return QStringLiteral("the web form document cannot be read");
}

} // namespace

const QByteArray& WebFormXmlReader::checkedSize(const QByteArray& utf8) {
    if (utf8.size() > kMaxDocumentBytes) {
        throw CommonException(QStringLiteral("Web form: the document is larger than %1 bytes")
                                  .arg(kMaxDocumentBytes));
    }
    return utf8;
}

// The whole document is handed over at once, so the end of the data is the end of the document.
WebFormXmlReader::WebFormXmlReader(const QByteArray& utf8) : m_reader(checkedSize(utf8)) {
    // Field names like "a:b" are plain names here, not namespace-qualified ones.
    m_reader.setNamespaceProcessing(false);
}

QXmlStreamReader::TokenType WebFormXmlReader::next() {
    const auto token = m_reader.readNext();
    switch (token) {
    case QXmlStreamReader::Invalid:
        if (!m_seenElement && m_reader.error() == QXmlStreamReader::PrematureEndOfDocumentError) {
            fail(QStringLiteral("the web form document has no root element"));
        }
        fail(describe(m_reader.error()));
    case QXmlStreamReader::DTD:
        fail(QStringLiteral("document type declarations and entities are not accepted in a web "
                            "form document"));
    case QXmlStreamReader::EntityReference:
        fail(QStringLiteral("entity references are not accepted in a web form document"));
    case QXmlStreamReader::StartElement:
        m_seenElement = true;
        if (++m_depth > kMaxDepth) {
            fail(QStringLiteral("the web form document nests elements deeper than %1")
                     .arg(kMaxDepth));
        }
        break;
    case QXmlStreamReader::EndElement:
        --m_depth;
        break;
    default:
        break;
    }
    return token;
}

void WebFormXmlReader::fail(const QString& what) const {
    throw CommonException(QStringLiteral("Web form: %1 (line %2, column %3)")
                              .arg(what)
                              .arg(m_reader.lineNumber())
                              .arg(m_reader.columnNumber()));
}

std::optional<QString> WebFormXmlReader::attribute(QLatin1StringView name) const {
    const auto attributes = m_reader.attributes();
    if (!attributes.hasAttribute(name)) {
        return std::nullopt;
    }
    return attributes.value(name).toString();
}

std::optional<int> WebFormXmlReader::integerAttribute(QLatin1StringView name) const {
    const auto text = attribute(name);
    if (!text || text->isEmpty()) {
        return std::nullopt;
    }
    const qsizetype start = (text->front() == u'-' || text->front() == u'+') ? 1 : 0;
    if (start == text->size()) {
        return std::nullopt;
    }
    for (qsizetype i = start; i < text->size(); ++i) {
        if (text->at(i) < u'0' || text->at(i) > u'9') {
            return std::nullopt;
        }
    }
    bool ok = false;
    const int value = text->toInt(&ok, 10);
    return ok ? std::optional<int>(value) : std::nullopt;
}

void WebFormXmlReader::readRootElement() {
    for (;;) {
        switch (next()) {
        case QXmlStreamReader::StartElement:
            return;
        case QXmlStreamReader::EndDocument:
            fail(QStringLiteral("the web form document has no root element"));
        default:
            break;
        }
    }
}

bool WebFormXmlReader::readNextChildElement() {
    const int depth = m_depth;
    for (;;) {
        switch (next()) {
        case QXmlStreamReader::StartElement:
            return true;
        case QXmlStreamReader::EndElement:
            if (m_depth < depth) {
                return false;
            }
            break;
        case QXmlStreamReader::EndDocument:
            fail(describe(QXmlStreamReader::PrematureEndOfDocumentError));
        default:
            break;
        }
    }
}

QString WebFormXmlReader::readElementText() {
    QString text;
    const int depth = m_depth;
    for (;;) {
        switch (next()) {
        case QXmlStreamReader::Characters:
            text += m_reader.text();
            break;
        case QXmlStreamReader::EndElement:
            if (m_depth < depth) {
                return text;
            }
            break;
        case QXmlStreamReader::EndDocument:
            fail(describe(QXmlStreamReader::PrematureEndOfDocumentError));
        default:
            break;
        }
    }
}

void WebFormXmlReader::skipCurrentElement() {
    while (readNextChildElement()) {
        skipCurrentElement();
    }
}

void WebFormXmlReader::finish() {
    while (next() != QXmlStreamReader::EndDocument) {
    }
}

} // namespace keskor
