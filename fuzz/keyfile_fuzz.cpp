// Feeds arbitrary bytes to the key-file reader: a key or a CommonException, nothing else. A
// key file that reads must give the same key however its lines are padded.

#include "core/shared/CommonException.h"
#include "core/shared/KeyHelper.h"
#include "fuzz/FixedKey.h"

#include <cstddef>
#include <cstdint>

using namespace keskor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    std::optional<Key256> key;
    try {
        key = KeyHelper::parseExternalKey(text);
    } catch (const CommonException&) {
        return 0;
    }
    const QList<QByteArray> lines = text.trimmed().split('\n');
    try {
        if (!(KeyHelper::parseExternalKey(" " + lines.value(0).trimmed() + "\r\n" +
                                          lines.value(1).trimmed() + " \n") == *key)) {
            fuzz::broken();
        }
    } catch (const CommonException&) {
        fuzz::broken();
    }
    return 0;
}
