// Feeds arbitrary bytes to the reader of a OneDrive folder listing, as the Graph service (or
// anyone in its place) may answer. Every file it lists must be a database name that stays
// inside the working folder, with a size that is not negative.

#include "fuzz/FixedKey.h"
#include "storage/onedrive/GraphListing.h"

#include <QDir>
#include <cstddef>
#include <cstdint>

using namespace keskor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray body(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<GraphListing::Page> page = GraphListing::parse(body);
    if (!page) {
        return 0;
    }
    const QDir folder(QStringLiteral("/working/oneDrive"));
    for (const auto& file : page->files) {
        const QString local = QDir::cleanPath(folder.filePath(file->name));
        if (file->size < 0 || file->name.isEmpty() ||
            !local.startsWith(folder.path() + QLatin1Char('/')) ||
            (!file->name.endsWith(QLatin1String("pswd")) &&
             !file->name.endsWith(QLatin1String("pswe")))) {
            fuzz::broken();
        }
    }
    if (!page->next.isEmpty() && !page->next.isValid()) {
        fuzz::broken();
    }
    return 0;
}
