#pragma once
// The key of a KDBX file: the composite of its password and key file, run through the key
// derivation its header names (Argon2d, Argon2id or AES-KDF). The header comes from outside,
// so parameters beyond our limits are refused before any memory is taken or time spent.

#include "core/shared/SecureBytes.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace keskor {

class KdbxKeyDerivation {
public:
    /// Argon2 memory above this is refused (KeePass and KeePassXC default to 64 MiB).
    static constexpr std::uint64_t kMaxMemoryBytes = std::uint64_t(1) << 30;
    static constexpr std::uint64_t kMaxIterations = 1000;
    static constexpr std::uint32_t kMaxLanes = 64;
    static constexpr std::uint64_t kMaxAesRounds = 1'000'000'000;

    /// SHA-256 over the password's SHA-256 (left out when empty) and the key file's key.
    /// `keyFile` is the key file's content, or null. Throws CommonException for a damaged key
    /// file.
    static SecureBytes compositeKey(const QString& password, const QByteArray* keyFile);

    /// The 32 bytes the derivation described by `parameters` (the header's variant
    /// dictionary) makes of `compositeKey`. Throws CommonException for parameters that are
    /// unknown, malformed or beyond the limits.
    static SecureBytes derive(const QByteArray& parameters, const SecureBytes& compositeKey);
    /// AES-KDF with its seed and rounds given directly, as a KDBX 3.1 header gives them.
    static SecureBytes deriveAes(const QByteArray& seed, std::uint64_t rounds,
                                 const SecureBytes& compositeKey);
};

} // namespace keskor
