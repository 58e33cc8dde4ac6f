// Feeds arbitrary bytes to the KDBX importer after the key derivation (the fixed key stands
// for its result; the seeds are sealed under it): a result whose counts match its tree, or a
// CommonException; never a crash, a hang or a group nested beyond the limit.

#include "core/shared/CommonException.h"
#include "fuzz/ImportCheck.h"
#include "tools/KdbxImporter.h"
#include "tools/KeePassXmlImporter.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray file(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        keskor::fuzz::checkImport(
            keskor::KdbxImporter::readDerived(file, keskor::fuzz::fixedKey().bytes()),
            keskor::KeePassXmlImporter::kMaxGroupDepth);
    } catch (const keskor::CommonException&) {
    }
    return 0;
}
