// Feeds arbitrary bytes to the database readers: the header-only read (what any file on disk
// reaches before a key exists) and the binary body parser behind the authentication, which a
// fuzzer could never reach through a sealed file.

#include "core/shared/CommonException.h"
#include "core/shared/PassFile.h"
#include "core/shared/PassFileCodec.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>

using namespace keskor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        PassFile header;
        header.load(bytes, nullptr, true);
    } catch (const CommonException&) {
    }
    try {
        PassFile target;
        PassFileCodec::parseBody(bytes, target);
    } catch (const CommonException&) {
    }
    return 0;
}
