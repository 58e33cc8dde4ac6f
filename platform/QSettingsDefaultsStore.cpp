#include "platform/QSettingsDefaultsStore.h"

#include "core/shared/PrivateFiles.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace keskor {

namespace {

// QSettings reads almost any bytes as INI without complaint; a file that is not text at all
// (binary garbage, a truncated write of another program) is refused here so it is kept aside
// instead of being silently rewritten.
bool looksLikeText(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return true; // unreadable files are reported by QSettings itself
    }
    const QByteArray bytes = f.readAll();
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 && c != '\n' && c != '\r' && c != '\t') {
            return false;
        }
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8(bytes);
    return !utf8.hasError();
}

const char* statusText(QSettings::Status status) {
    return status == QSettings::FormatError ? "cannot be parsed" : "cannot be read";
}

// The file holds the recent databases and protected settings: owner-only whatever the umask.
// A missing one is made just before QSettings first writes (it keeps an existing file's mode);
// reading alone leaves no file behind.
void keepPrivate(const QString& path, bool create) {
    QFile file(path);
    if (!file.exists()) {
        if (create) {
            file.open(QIODevice::WriteOnly | QIODevice::NewOnly, PrivateFiles::fileMode());
        }
        return;
    }
    const QFileDevice::Permissions mode =
        PrivateFiles::replacementMode(path, PrivateFiles::fileMode());
    if (file.permissions() != mode) {
        file.setPermissions(mode);
    }
}

} // namespace

QSettingsDefaultsStore::QSettingsDefaultsStore(const QString& path) : m_path(path) {
    open();
}

QSettingsDefaultsStore::~QSettingsDefaultsStore() {
    sync();
}

void QSettingsDefaultsStore::open() {
    PrivateFiles::makeFolder(QFileInfo(m_path).absolutePath());
    keepPrivate(m_path, false);
    m_settings = std::make_unique<QSettings>(m_path, QSettings::IniFormat);
    QSettings::Status status = m_settings->status();
    if (status == QSettings::NoError && QFileInfo(m_path).isFile() && !looksLikeText(m_path)) {
        status = QSettings::FormatError;
    }
    if (status == QSettings::NoError) {
        return;
    }
    m_settings.reset();
    const QString aside = m_path + QStringLiteral(".broken");
    if (QFileInfo(m_path).isFile()) {
        QFile::remove(aside);
        if (QFile::rename(m_path, aside)) {
            qWarning().noquote() << "settings: the file" << m_path << statusText(status)
                                 << "and was moved to" << aside << "; starting with defaults";
            m_settings = std::make_unique<QSettings>(m_path, QSettings::IniFormat);
            if (m_settings->status() == QSettings::NoError) {
                return;
            }
            m_settings.reset();
        }
    }
    qWarning().noquote() << "settings: the file" << m_path << statusText(status)
                         << "; settings are kept in memory for this run only";
}

bool QSettingsDefaultsStore::contains(const QString& key) const {
    if (!m_settings) {
        return m_memoryOnly.contains(key);
    }
    return m_settings->contains(key) && m_settings->value(key).isValid();
}

QVariant QSettingsDefaultsStore::object(const QString& key) const {
    if (!m_settings) {
        return m_memoryOnly.value(key);
    }
    return m_settings->value(key);
}

void QSettingsDefaultsStore::setObject(const QString& key, const QVariant& value) {
    if (!value.isValid()) {
        remove(key);
        return;
    }
    if (!m_settings) {
        m_memoryOnly.insert(key, value);
        return;
    }
    keepPrivate(m_path, true);
    m_settings->setValue(key, value);
}

void QSettingsDefaultsStore::remove(const QString& key) {
    if (!m_settings) {
        m_memoryOnly.remove(key);
        return;
    }
    m_settings->remove(key);
}

void QSettingsDefaultsStore::sync() {
    if (!m_settings) {
        return;
    }
    m_settings->sync();
    keepPrivate(m_path, false);
    if (m_settings->status() != QSettings::NoError && !m_warnedSync) {
        m_warnedSync = true;
        qWarning().noquote() << "settings: cannot write" << m_path;
    }
}

} // namespace keskor
