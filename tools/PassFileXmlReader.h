#pragma once
// Reads a "passwordfile" XML document (version 12.0) as PassFileXmlWriter writes it: the
// header values and the group tree with every entry field, history versions included.
//
// The export writes times on a 12-hour clock without a marker, so they read back as written
// (01:00 to 12:59); the date, minutes and seconds are exact and writing the result again gives
// the same text. "null" in a field the writer fills with "null" for a missing value reads back
// as a missing value. Elements this version does not know are skipped. Documents with a
// DOCTYPE are refused, so no entity is ever expanded.

#include "core/shared/EncryptionHelper.h"
#include "core/shared/PassFile.h"
#include "tools/ImportedItems.h"

#include <QByteArray>
#include <QStringList>

namespace keskor {

class PassFileXmlReader {
public:
    /// Folders nested deeper than this are refused rather than read.
    static constexpr int kMaxGroupDepth = 64;

    struct Document {
        PassFile file;
        QStringList warnings;
    };

    /// `protection` decrypts the backup server's name, which the writer encrypts.
    explicit PassFileXmlReader(const EncryptionHelper& protection);

    /// The whole document as a new database, fingerprints kept; a folder export becomes the
    /// database's single top folder. Throws CommonException ("line N: ...").
    Document readFile(const QByteArray& xml, const ImportProgress& progress = {}) const;

    /// The document's items to be added to another database: every folder and entry gets a
    /// fresh fingerprint (its history versions share the entry's), the header is checked but
    /// not used. Throws CommonException ("line N: ...").
    ImportedItems readItems(const QByteArray& xml, const ImportProgress& progress = {}) const;

private:
    const EncryptionHelper& m_protection;
};

} // namespace keskor
