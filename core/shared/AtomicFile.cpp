#include "core/shared/AtomicFile.h"

#include "core/shared/PrivateFiles.h"

#include <QSaveFile>

namespace keskor {

bool AtomicFile::write(const QString& path, const char* bytes, qint64 size, QString* error,
                       std::optional<QFileDevice::Permissions> permissions) {
    const auto fail = [error](const QString& reason) {
        if (error) {
            *error = reason;
        }
        return false;
    };
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        return fail(file.errorString());
    }
    // Owner-only unless the caller asks otherwise; a mode the user tightened by hand survives.
    const QFileDevice::Permissions mode =
        PrivateFiles::replacementMode(path, permissions.value_or(PrivateFiles::fileMode()));
    if (!file.setPermissions(mode)) {
        file.cancelWriting();
        return fail(file.errorString());
    }
    qint64 done = 0;
    while (done < size) {
        const qint64 n = file.write(bytes + done, size - done);
        if (n <= 0) {
            break;
        }
        done += n;
    }
    if (done != size) {
        // A short write sets no error text of its own.
        const QString reason = file.error() == QFileDevice::NoError
                                   ? QStringLiteral("the disk is full or the file is too large")
                                   : file.errorString();
        file.cancelWriting();
        return fail(reason);
    }
    if (!file.commit()) {
        return fail(file.errorString());
    }
    return true;
}

} // namespace keskor
