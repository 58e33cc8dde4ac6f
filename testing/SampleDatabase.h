#pragma once
// Databases for tests and benchmarks: one entry of every kind with every field set, and large
// databases with realistic entries in nested folders.

#include "core/shared/PassFile.h"

#include <cstddef>

namespace keskor::testing {

class SampleDatabase {
public:
    /// Cheap key derivation, so tests spend no time in the KDF.
    static constexpr std::uint64_t kFastKdfMemory = 64 * 1024;
    static constexpr std::uint32_t kFastKdfPasses = 1;

    /// Folders, sub-folders and one entry per kind (1 to 13), each with every field, history,
    /// custom fields, URLs, TANs, attachments and permissions; header values all set.
    static PassFile full(PassFile::FileType type = PassFile::FileType::Plain);
    /// `entries` entries with realistic fields, spread over folders nested three deep.
    static PassFile large(std::size_t entries, std::uint64_t seed = 1);
    /// An entry of `type` with every field set; `n` varies the values.
    static std::shared_ptr<Info2Item> fullEntry(int type, int n);
};

} // namespace keskor::testing
