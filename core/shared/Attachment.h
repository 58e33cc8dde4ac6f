#pragma once
// A file attached to an entry, kept inside the database.

#include "core/shared/ByteReader.h"
#include "core/shared/ByteWriter.h"

#include <QByteArray>
#include <QString>

class QIODevice;

namespace keskor {

class Attachment {
public:
    QString fileName;
    QString originalPath;
    double lastModified = 0.0;
    QByteArray data;

    /// Writes the content as base64 text (the form the XML export carries).
    void writeData(QIODevice& out) const;
    bool operator==(const Attachment&) const = default;
};

ByteWriter& operator<<(ByteWriter& out, const Attachment& attachment);
ByteReader& operator>>(ByteReader& in, Attachment& attachment);

} // namespace keskor
