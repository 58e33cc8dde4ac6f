#pragma once
// Imports a KDBX database: 4.0 and 4.1 as KeePass 2 and KeePassXC write them today, and 3.1
// as older files and KeePassXC's own import are. The outer header names the cipher (AES-256-CBC
// or ChaCha20) and the key derivation (any in KDBX 4, AES-KDF in KDBX 3). A KDBX 4 body is a
// chain of HMAC-SHA-256 blocks whose inner header holds the attachments and the key of the
// stream (ChaCha20 or Salsa20) that protects values; a KDBX 3 body is a chain of SHA-256 blocks
// after known start bytes, with the stream in the outer header and the attachments in the XML.
// Either may be gzip-compressed. The XML inside is read by KeePassXmlImporter with all of its
// rules. A wrong password or key file and a damaged file are told apart by the header's HMAC
// (KDBX 4) or the start bytes (KDBX 3).

#include "core/shared/SecureBytes.h"
#include "tools/ImportedItems.h"

#include <QByteArray>
#include <QString>

namespace keskor {

class KdbxImporter {
public:
    /// True when `head` starts with the KDBX signature.
    static bool isKdbx(const QByteArray& head);

    /// `keyFile` is the key file's content, or null. Throws CommonException.
    static ImportedItems read(const QByteArray& file, const QString& password,
                              const QByteArray* keyFile, const ImportProgress& progress = {});

    /// The same after the key derivation: `derived` is its 32-byte result. Lets a fuzzer
    /// reach the body without paying for a derivation per input.
    static ImportedItems readDerived(const QByteArray& file, const SecureBytes& derived,
                                     const ImportProgress& progress = {});
};

} // namespace keskor
