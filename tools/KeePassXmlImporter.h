#pragma once
// Imports a KeePass 2 XML file (KeePassFile/Meta, Root/Group/...): groups become folders and
// entries become password entries.
//
// The root group itself is not kept: its entries and sub-groups become top-level items (a
// further group directly under Root becomes a top-level folder). Strings: Title -> description,
// UserName, Password, URL, Notes -> comment, keys starting with "KP2A_URL" -> additional URLs,
// any other key -> a custom field, hidden when the value is marked protected. Tags (split on
// ";" or ",") -> tags; Times give the created, modified and accessed dates, the usage count and,
// when Expires is True, the expiry date. Attachments referring to Meta/Binaries (or holding
// their data inline) are kept. History, AutoType, icons and colours are left out; the recycle
// bin group comes across as an ordinary folder.
//
// Values are taken as the text they are. A file whose Protected="True" values are all base64
// of something that is no text was saved with its values encrypted by KeePass's inner stream,
// whose key it does not hold; it is refused rather than imported as garbage. Documents with a
// DOCTYPE are refused, so no entity is ever expanded. The inner document of a KDBX file comes
// with what opens it (Unsealing): its protected values are then decrypted, not judged.

#include "tools/ImportedItems.h"

#include <QByteArray>
#include <QList>
#include <functional>

namespace keskor {

class KeePassXmlImporter {
public:
    /// Groups nested deeper than this are refused rather than read.
    static constexpr int kMaxGroupDepth = 64;

    /// What a KDBX file holds beside its XML document.
    struct Unsealing {
        /// The attachments of its inner header; `<Value Ref="N"/>` names the N-th.
        QList<QByteArray> binaries;
        /// XORs the next bytes of the inner stream into `data`; protected values come in
        /// document order.
        std::function<void(QByteArray& data)> unseal;
    };

    /// Throws CommonException ("line N: ...") for anything that is not a KeePass 2 XML file.
    /// The text is parsed in place: hand it over with std::move to spare a copy.
    static ImportedItems read(QByteArray xml, const ImportProgress& progress = {});
    static ImportedItems read(QByteArray xml, const Unsealing& unsealing,
                              const ImportProgress& progress = {});
};

} // namespace keskor
