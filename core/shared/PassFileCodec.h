#pragma once
// The database file format. A UTF-8 text of four lines:
//   1. the magic "KESKOR-DB/1";
//   2. the cleartext header as compact JSON (KDF, salt, cipher, nonce, key check, authentication
//      type, file type, flags, hint);
//   3. the sealed body in base64: the item tree in a compact binary form, optionally zstd
//      compressed, sealed in 64 KiB chunks with libsodium's XChaCha20-Poly1305 secretstream
//      (lines 1 and 2 are the associated data of the first chunk; the last is tagged final);
//   4. "checksum:" and the BLAKE2b-256 of lines 1 to 3 in hex, so damage is told apart from
//      wrong credentials before any key is tried.
// docs/file-format.md describes the layout and the reasons for it.

#include "core/shared/PassFile.h"

#include <QByteArray>

namespace keskor {

class ByteReader;

class PassFileCodec {
public:
    static constexpr const char* kMagic = "KESKOR-DB/1";
    /// Version of the binary body; a higher one is refused as written by a newer program.
    static constexpr quint16 kBodyVersion = 1;

    static QByteArray encode(const PassFile& file, const Key256& key);
    /// Fills `file` from `text`; on any failure throws and leaves `file` untouched.
    static void decode(const QByteArray& text, const Key256* key, bool headerOnly, PassFile& file);

    /// The body alone, for tests and benchmarks that measure the serialisation on its own.
    static QByteArray serializeBody(const PassFile& file);
    /// Replaces the header values and items of `file`; on failure throws and changes nothing.
    static void parseBody(const QByteArray& body, PassFile& file);

    /// One item in the body's item form, with its history; with its sub-items only when asked
    /// (the per-entry edits of an enterprise database send an item without its children).
    static QByteArray serializeItem(const Info2Item& item, bool withChildren = false);
    /// The item `serializeItem` wrote; throws CommonException (damaged) on anything else,
    /// including trailing bytes.
    static Info2Item parseItem(const QByteArray& bytes);

    static QString notADatabaseMessage();
    static QString damagedMessage();
    static QString wrongCredentialsMessage();
    static QString newerVersionMessage();

private:
    static void readBody(ByteReader& in, PassFile& file);
};

} // namespace keskor
