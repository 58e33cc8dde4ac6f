#pragma once
// A custom field of an entry: a named value, optionally bound to a web-form input.

#include "core/shared/ByteReader.h"
#include "core/shared/ByteWriter.h"

#include <QString>

namespace keskor {

class PswField {
public:
    QString name;
    QString value;
    QString inputId;
    bool visible = true;

    bool operator==(const PswField&) const = default;
};

ByteWriter& operator<<(ByteWriter& out, const PswField& field);
ByteReader& operator>>(ByteReader& in, PswField& field);

} // namespace keskor
