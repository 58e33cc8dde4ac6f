#pragma once
// An entry's fields as keskor-cli names them: what `show` prints, and what `show -a` and
// `clip` pick by name.

#include <QList>
#include <QString>
#include <optional>

namespace keskor {

class Info2Item;

struct EntryField {
    QString name;
    QString value;
    /// Masked unless asked for: the password and hidden custom fields.
    bool isProtected = false;
};

class EntryFields {
public:
    /// Description, type and UUID first, then the texts that are set, the dates, the
    /// additional URLs and the custom fields.
    static QList<EntryField> of(const Info2Item& item);
    /// The value of the field called `name` (case ignored); the password for an empty name.
    static std::optional<QString> value(const Info2Item& item, const QString& name);
};

} // namespace keskor
