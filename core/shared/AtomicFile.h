#pragma once
// Replaces a file in one step: the bytes go to a temporary file beside it, which is renamed over
// the target only once every byte is on disk. A failed write leaves the previous file as it was.
//
// The device is unbuffered on purpose. Through Qt's write buffer, a write that the disk cuts
// short (full disk, file-size limit) still reports every byte as written and the commit
// succeeds, leaving a truncated file in place of a good one.

#include <QFileDevice>
#include <QString>
#include <optional>

namespace keskor {

class AtomicFile {
public:
    /// Writes `bytes` to `path`; on failure returns false, sets `error` to the reason (without the
    /// path) and leaves `path` untouched. The file is owner-only (or `permissions`), set before the
    /// first byte is written; an existing file's mode is kept only when it is stricter.
    static bool write(const QString& path, const char* bytes, qint64 size, QString* error = nullptr,
                      std::optional<QFileDevice::Permissions> permissions = std::nullopt);
    static bool write(const QString& path, const QByteArray& bytes, QString* error = nullptr,
                      std::optional<QFileDevice::Permissions> permissions = std::nullopt) {
        return write(path, bytes.constData(), bytes.size(), error, permissions);
    }
};

} // namespace keskor
