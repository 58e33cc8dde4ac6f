// Feeds arbitrary bytes to the CSV importer: a result whose counts match its tree, or a
// CommonException; never a crash, a hang or a folder nested beyond the limit.

#include "core/shared/CommonException.h"
#include "fuzz/ImportCheck.h"
#include "tools/CsvImporter.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray csv(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        keskor::fuzz::checkImport(keskor::CsvImporter::read(csv),
                                  keskor::CsvImporter::kMaxFolderDepth);
    } catch (const keskor::CommonException&) {
    }
    return 0;
}
