// Feeds arbitrary text to the recent-file list: the first line is a database being opened
// (its four fields separated by tabs), the other lines are the stored list as the settings
// file may hold it. The list must stay at most ten long, start with the database just opened,
// hold it once, and every entry must read back as it was written.

#include "core/RecentFileManager.h"
#include "core/shared/CommonException.h"
#include "fuzz/FixedKey.h"
#include "platform/MemoryDefaultsStore.h"

#include <QStringList>
#include <algorithm>
#include <cstddef>
#include <cstdint>

using namespace keskor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QStringList lines =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size))
            .split(QLatin1Char('\n'));
    const QStringList fields = lines.value(0).split(QLatin1Char('\t'));
    const DatabaseInfo opened{
        fields.value(0), fields.value(1),
        Locations::fromRaw(fields.value(2).toInt() % 10).value_or(Location::localDevice),
        fields.value(3) == QLatin1String("1")};
    MemoryDefaultsStore store;
    RecentFileManager recent(store);
    store.setObject(recent.save_key, lines.mid(1));
    for (const DatabaseInfo& info : recent.recentFiles()) {
        if (info.name.isEmpty() || recent.decode(recent.encode(info)) != info) {
            fuzz::broken();
        }
    }
    if (opened.name.isEmpty()) {
        return 0;
    }
    recent.addRecentFile(opened);
    const QList<DatabaseInfo> list = recent.recentFiles();
    if (list.size() > recent.maxCount) {
        fuzz::broken();
    }
    const auto same = [&](const DatabaseInfo& info) {
        return info.location == opened.location &&
               info.name.compare(opened.name, Qt::CaseInsensitive) == 0 &&
               info.path.compare(opened.path, Qt::CaseInsensitive) == 0;
    };
    const bool kept = recent.decode(recent.encode(opened)) == opened;
    if (kept && (list.isEmpty() || list.first() != opened)) {
        fuzz::broken();
    }
    if (std::count_if(list.begin(), list.end(), same) > 1) {
        fuzz::broken();
    }
    return 0;
}
