#pragma once
// The forms of one web page, as the browser extension hands them over in its XML document and
// as they go back to it after filling. Every child element of the root is a form, whatever
// its name; the document is written back as <forms><formdata>... on one line.

#include "bridge/SocketXMLForm.h"

#include <QList>
#include <QString>

namespace keskor {

class SocketXMLForms {
public:
    SocketXMLForms() = default;
    explicit SocketXMLForms(QList<SocketXMLForm> forms) : subForms(std::move(forms)) {}

    /// The forms of a document; a document that cannot be read yields none.
    static SocketXMLForms fromDocument(const QString& text);
    /// The same, but a document that cannot be read (not XML, no root, a DTD or entity, too
    /// deep, too large) throws CommonException saying why, never quoting the document.
    static SocketXMLForms parseDocument(const QString& text);

    /// The whole document: declaration, <forms>, every form, </forms>.
    QString xmlString() const;

    QList<SocketXMLForm> subForms;

    bool operator==(const SocketXMLForms&) const = default;
};

} // namespace keskor
