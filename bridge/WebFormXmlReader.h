#pragma once
// QXmlStreamReader with the limits every web-form document is read under: no document type
// declarations (and so no declared entities), at most 64 nested elements and 4 MiB of text.
// Anything else the parser rejects is reported as a CommonException with its position only:
// the document carries form values (passwords), so no part of it goes into the message.

#include <QByteArray>
#include <QString>
#include <QXmlStreamAttributes>
#include <QXmlStreamReader>
#include <optional>

namespace keskor {

class WebFormXmlReader {
public:
    static constexpr int kMaxDepth = 64;
    static constexpr qsizetype kMaxDocumentBytes = qsizetype(4) * 1024 * 1024;

    /// Throws CommonException when the document is larger than kMaxDocumentBytes.
    explicit WebFormXmlReader(const QByteArray& utf8);

    /// Moves to the document's root element; throws when there is none.
    void readRootElement();
    /// Moves to the next child element of the element the reader is in; false (the reader at
    /// that element's end) when there are no more.
    bool readNextChildElement();
    /// The text of the current element and all its descendants, in document order; the reader
    /// ends at the element's end.
    QString readElementText();
    /// Leaves the current element, checking everything inside it.
    void skipCurrentElement();
    /// Reads to the end of the document, so trailing garbage is an error too.
    void finish();

    /// The value of an attribute of the current element; nothing when it is not there.
    std::optional<QString> attribute(QLatin1StringView name) const;
    /// An attribute holding a decimal integer (optional sign, digits only, within int), else
    /// nothing.
    std::optional<int> integerAttribute(QLatin1StringView name) const;

    QStringView name() const { return m_reader.name(); }
    QXmlStreamAttributes attributes() const { return m_reader.attributes(); }

private:
    static const QByteArray& checkedSize(const QByteArray& utf8);
    /// The next token, with every limit checked.
    QXmlStreamReader::TokenType next();
    [[noreturn]] void fail(const QString& what) const;

    QXmlStreamReader m_reader;
    int m_depth = 0;
    bool m_seenElement = false;
};

} // namespace keskor
