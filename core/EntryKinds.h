#pragma once
// What the editor and the detail pane show for each kind of entry: the label of each standard
// field (or none when the kind has no such field) and the custom fields a new entry of the kind
// starts with. The labels are localisation keys.

#include "core/EntryType.h"

#include <QList>
#include <QString>

namespace keskor {

struct EntryKind {
    EntryType type = EntryType::Password;
    /// The kind's name ("entry_type_password").
    QString nameKey;
    /// Empty when the kind has no such field.
    QString userNameKey;
    QString passwordKey;
    QString urlKey;
    struct Field {
        QString name;
        /// Hidden like a password (a card's security code).
        bool secret = false;
    };
    QList<Field> customFields;
    /// Files are what the kind is about (documents, encrypted files, certificates).
    bool attachmentsFirst = false;
};

class EntryKinds {
public:
    /// The kind of an entry type; Unknown for anything else.
    static const EntryKind& of(EntryType type);
    static const EntryKind& ofRaw(int rawType);
    /// The kinds a user may create, in menu order (no folder, no unknown).
    static const QList<EntryKind>& creatable();
};

} // namespace keskor
