#pragma once
// Fills the forms of a web page with an entry's credentials for the extension: every password
// field gets the entry's password, every other field (text, e-mail, hidden, untyped) its user
// name. The entry is named by its fingerprint or found through the page URL.

#include "bridge/SocketXMLForms.h"
#include "core/shared/Info2Item.h"
#include "core/shared/PassFile.h"

#include <QString>
#include <QVariantMap>
#include <memory>
#include <optional>

namespace keskor {

class WebFormFiller {
public:
    enum class KeyKind : int { fingerprint = 0, url = 1 };
    struct Key {
        QString text;
        KeyKind kind = KeyKind::url;
        bool operator==(const Key&) const = default;
    };

    /// Which entry a fill request names: its own "uuid"; else the entry of the previous fill
    /// when that was for exactly this page URL; else the page URL.
    static Key chooseKey(const std::optional<QString>& uuid,
                         const std::optional<QString>& loadedFingerprint,
                         const std::optional<QString>& loadedUrl, const QString& url);

    /// The entry the key names in `file`: by fingerprint, or the first URL match (any user).
    static std::shared_ptr<Info2Item> chooseEntry(const PassFile& file, const Key& key);

    /// The forms with every field's value set from `entry`.
    static SocketXMLForms fillForms(SocketXMLForms forms, const Info2Item& entry);

    /// The reply to a fill request: "xml" (base64 of the filled document), "url" (the entry's
    /// URL or an empty text) and "encoding" = "base64"; an empty map without an open database
    /// (`file` null) or without an entry. `xmlValue` is the request's "xml" value as sent.
    static QVariantMap fill(const PassFile* file, const Key& key, const QString& xmlValue);
};

} // namespace keskor
