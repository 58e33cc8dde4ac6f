#pragma once
// Replaces a file in one step: the bytes go to a temporary file beside it, which is flushed to
// disk and renamed over the target. A failed write leaves the previous file as it was.
//
// Every write is checked byte for byte: a write that the disk cuts short (full disk, file-size
// limit) is a failure, never a truncated file in place of a good one.
//
// A writer that is killed cannot remove its temporary file, so each write first removes the ones
// such writers left in the folder. A writer holds a lock on its temporary file for as long as it
// lives, so a file whose lock can be taken belongs to nobody.

#include <QFileDevice>
#include <QString>
#include <optional>

namespace keskor {

class AtomicFile {
public:
    /// Writes `bytes` to `path` (to the file a symbolic link names, the link kept); on failure
    /// returns false, sets `error` to the reason (without the path) and leaves `path` untouched.
    /// The file is owner-only (or `permissions`), set before the first byte is written; an
    /// existing file's mode is kept only when it is stricter.
    static bool write(const QString& path, const char* bytes, qint64 size, QString* error = nullptr,
                      std::optional<QFileDevice::Permissions> permissions = std::nullopt);
    static bool write(const QString& path, const QByteArray& bytes, QString* error = nullptr,
                      std::optional<QFileDevice::Permissions> permissions = std::nullopt) {
        return write(path, bytes.constData(), bytes.size(), error, permissions);
    }

    /// Whether `fileName` is the name of a temporary file of a write in progress (or of one
    /// whose writer was killed).
    static bool isTemporaryName(const QString& fileName);
};

} // namespace keskor
