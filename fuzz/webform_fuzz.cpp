// libFuzzer target for the web-form document reader: any bytes the browser extension may
// send as the "xml" value. Reading must end in forms or a CommonException, never a crash or
// a hang; a document that reads must read again, unchanged, from what we write back (as long
// as no attribute holds a character that the format's unescaped attributes cannot carry).

#include "bridge/SocketXMLForms.h"
#include "bridge/WebFormCodec.h"
#include "core/shared/CommonException.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

bool hasUnsafeAttribute(const keskor::SocketXMLForms& forms) {
    // Quotes, markup and whitespace that a reader normalises to spaces.
    const auto quoted = [](const std::optional<QString>& text) {
        if (!text) {
            return false;
        }
        for (const QChar c : *text) {
            if (c == u'"' || c == u'<' || c == u'&' || c == u'\t' || c == u'\n' || c == u'\r') {
                return true;
            }
        }
        return false;
    };
    for (const auto& form : forms.subForms) {
        if (quoted(form.name)) {
            return true;
        }
        for (const auto& element : form.subElements) {
            if (quoted(element.name) || quoted(element.type)) {
                return true;
            }
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString value =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString document = keskor::WebFormCodec::decodeXmlValue(value);
    keskor::SocketXMLForms forms;
    try {
        forms = keskor::SocketXMLForms::parseDocument(document);
    } catch (const keskor::CommonException&) {
        return 0;
    }
    const QString written = forms.xmlString();
    if (hasUnsafeAttribute(forms)) {
        return 0;
    }
    // Tag names were valid XML names when read, so the written document must read back.
    try {
        const auto again = keskor::SocketXMLForms::parseDocument(written);
        if (again.xmlString() != written) {
            std::abort();
        }
    } catch (const keskor::CommonException&) {
        std::abort();
    }
    return 0;
}
