// Feeds arbitrary bytes to the KeePass 2 XML importer: a result whose counts match its tree,
// or a CommonException; never a crash, a hang or a group nested beyond the limit.

#include "core/shared/CommonException.h"
#include "fuzz/ImportCheck.h"
#include "tools/KeePassXmlImporter.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray xml(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        keskor::fuzz::checkImport(keskor::KeePassXmlImporter::read(xml),
                                  keskor::KeePassXmlImporter::kMaxGroupDepth);
    } catch (const keskor::CommonException&) {
    }
    return 0;
}
