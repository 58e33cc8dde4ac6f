#include "core/shared/AtomicFile.h"

#include "core/shared/PrivateFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace keskor {

namespace {

// ".<name>.keskor-tmp-XXXXXXXX": hidden, and never ending in a database's extension, so no
// listing of databases or backups shows it.
const QString kMarker = QStringLiteral(".keskor-tmp-");
constexpr int kRandomLength = 8;

mode_t modeOf(QFileDevice::Permissions permissions) {
    const std::pair<QFileDevice::Permission, mode_t> bits[] = {
        {QFileDevice::ReadOwner, S_IRUSR},  {QFileDevice::WriteOwner, S_IWUSR},
        {QFileDevice::ExeOwner, S_IXUSR},   {QFileDevice::ReadGroup, S_IRGRP},
        {QFileDevice::WriteGroup, S_IWGRP}, {QFileDevice::ExeGroup, S_IXGRP},
        {QFileDevice::ReadOther, S_IROTH},  {QFileDevice::WriteOther, S_IWOTH},
        {QFileDevice::ExeOther, S_IXOTH}};
    mode_t mode = 0;
    for (const auto& [permission, bit] : bits) {
        if (permissions.testFlag(permission)) {
            mode |= bit;
        }
    }
    return mode;
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

/// Removes the temporary files of writers that are gone: their lock died with them. The name is
/// looked at again after locking, so a file another writer has just renamed away stays.
void removeLeftovers(int folder) {
    const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) {
        return;
    }
    DIR* dir = ::fdopendir(listing);
    if (!dir) {
        ::close(listing);
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (!AtomicFile::isTemporaryName(QFile::decodeName(entry->d_name))) {
            continue;
        }
        // Non-blocking, so a pipe under such a name cannot stall the write.
        const int fd =
            ::openat(folder, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        struct stat opened {};
        struct stat named {};
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &opened) == 0 &&
            S_ISREG(opened.st_mode) &&
            ::fstatat(folder, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            sameFile(opened, named)) {
            ::unlinkat(folder, entry->d_name, 0);
        }
        ::close(fd);
    }
    ::closedir(dir);
}

/// The file a path names, through any symbolic links, so a linked database stays linked.
QString resolvedTarget(const QString& path) {
    QString target = QFileInfo(path).absoluteFilePath();
    for (int hops = 0; hops < 40; ++hops) {
        const QFileInfo info(target);
        if (!info.isSymLink()) {
            break;
        }
        target = info.symLinkTarget();
    }
    return target;
}

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    void reset(int fd) {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = fd;
    }

private:
    int m_fd;
};

} // namespace

bool AtomicFile::isTemporaryName(const QString& fileName) {
    const qsizetype marker = fileName.lastIndexOf(kMarker);
    return fileName.startsWith(u'.') && marker > 0 &&
           fileName.size() == marker + kMarker.size() + kRandomLength;
}

bool AtomicFile::write(const QString& path, const char* bytes, qint64 size, QString* error,
                       std::optional<QFileDevice::Permissions> permissions) {
    const auto fail = [error](const QString& reason) {
        if (error) {
            *error = reason;
        }
        return false;
    };
    const auto failErrno = [&fail](int code) { return fail(qt_error_string(code)); };

    const QString target = resolvedTarget(path);
    const QFileInfo targetInfo(target);
    if (targetInfo.isDir()) {
        return fail(QStringLiteral("it is a folder"));
    }
    if (targetInfo.exists() && !targetInfo.isWritable()) {
        return fail(QStringLiteral("the file is not writable"));
    }
    const Descriptor folder(::open(QFile::encodeName(targetInfo.absolutePath()).constData(),
                                   O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0) {
        return failErrno(errno);
    }
    removeLeftovers(folder.get());

    // Owner-only unless the caller asks otherwise; a mode the user tightened by hand survives.
    const mode_t mode = modeOf(
        PrivateFiles::replacementMode(target, permissions.value_or(PrivateFiles::fileMode())));
    const QByteArray finalName = QFile::encodeName(targetInfo.fileName());
    QByteArray tempName;
    Descriptor file;
    for (int attempt = 0; file.get() < 0; ++attempt) {
        if (attempt == 100) {
            return fail(QStringLiteral("no temporary file could be created"));
        }
        static constexpr char kAlphabet[] =
            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        QByteArray suffix(kRandomLength, '\0');
        for (char& c : suffix) {
            c = kAlphabet[QRandomGenerator::global()->bounded(int(sizeof kAlphabet) - 1)];
        }
        tempName = '.' + finalName + QFile::encodeName(kMarker) + suffix;
        const int fd =
            ::openat(folder.get(), tempName.constData(),
                     O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
        if (fd < 0) {
            if (errno == EEXIST) {
                continue;
            }
            return failErrno(errno);
        }
        file.reset(fd);
        // Between the create and the lock another writer may have taken the file for a
        // leftover and removed it; then the name no longer leads here and we start again.
        struct stat opened {};
        struct stat named {};
        if (::flock(fd, LOCK_EX) != 0 || ::fstat(fd, &opened) != 0 ||
            ::fstatat(folder.get(), tempName.constData(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
            !sameFile(opened, named)) {
            file.reset(-1);
        }
    }
    const auto abandon = [&](int code) {
        ::unlinkat(folder.get(), tempName.constData(), 0);
        return code == 0 ? fail(QStringLiteral("the disk is full or the file is too large"))
                         : failErrno(code);
    };
    if (::fchmod(file.get(), mode) != 0) {
        return abandon(errno);
    }
    for (qint64 done = 0; done < size;) {
        const ssize_t n = ::write(file.get(), bytes + done, static_cast<size_t>(size - done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return abandon(n < 0 && errno != ENOSPC && errno != EFBIG ? errno : 0);
        }
        done += n;
    }
    // On disk before it replaces anything; file systems without the call are no error.
    if (::fdatasync(file.get()) != 0 && errno != EINVAL && errno != EROFS) {
        return abandon(errno);
    }
    // Renamed while still locked, so no other writer can take it for a leftover.
    if (::renameat(folder.get(), tempName.constData(), folder.get(), finalName.constData()) != 0) {
        return abandon(errno);
    }
    return true;
}

} // namespace keskor
