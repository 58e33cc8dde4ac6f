// Feeds arbitrary bytes to the reader of our own XML export, both as a whole database and as
// items to add. What reads as a database must write out as a document that reads back and
// writes out again to the very same text.

#include "core/shared/CommonException.h"
#include "fuzz/ImportCheck.h"
#include "tools/PassFileXmlReader.h"
#include "tools/PassFileXmlWriter.h"

#include <QDateTime>
#include <cstddef>
#include <cstdint>

using namespace keskor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const EncryptionHelper protection(fuzz::fixedKey());
    static const QDateTime moment(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::UTC);
    const QByteArray xml(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const PassFileXmlReader reader(protection);
    try {
        fuzz::checkImport(reader.readItems(xml), PassFileXmlReader::kMaxGroupDepth);
    } catch (const CommonException&) {
    }
    PassFile file;
    try {
        file = reader.readFile(xml).file;
    } catch (const CommonException&) {
        return 0;
    }
    const PassFileXmlWriter writer(protection, moment);
    const QByteArray written = writer.write(file);
    try {
        if (writer.write(reader.readFile(written).file) != written) {
            fuzz::broken();
        }
    } catch (const CommonException&) {
        fuzz::broken();
    }
    return 0;
}
