#include "platform/FileKeychain.h"

#include "core/shared/AtomicFile.h"
#include "core/shared/CommonException.h"
#include "core/shared/PrivateFiles.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

namespace keskor {

namespace {

const QString kFormat = QStringLiteral("keskor-keychain");
constexpr int kVersion = 1;

} // namespace

FileKeychain::FileKeychain(QString path) : m_path(std::move(path)) {}

std::optional<QString> FileKeychain::get(const QString& key) {
    const QJsonValue value = readItems().value(key);
    if (!value.isString()) {
        return std::nullopt;
    }
    return value.toString();
}

void FileKeychain::set(const QString& key, const QString& text) {
    QJsonObject items = readItems();
    items.insert(key, text);
    writeItems(items);
}

void FileKeychain::remove(const QString& key) {
    QJsonObject items = readItems();
    if (!items.contains(key)) {
        return;
    }
    items.remove(key);
    writeItems(items);
}

QJsonObject FileKeychain::readItems() {
    QFile file(m_path);
    if (!file.exists()) {
        return {};
    }
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning().noquote() << "keychain: cannot read" << m_path << ":" << file.errorString();
        return {};
    }
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    file.close();
    const QJsonObject root = doc.object();
    if (error.error == QJsonParseError::NoError && root.value(u"format").toString() == kFormat &&
        root.value(u"items").isObject()) {
        return root.value(u"items").toObject();
    }
    // Keep the damaged file for the user instead of silently replacing its secrets.
    const QString aside = m_path + QStringLiteral(".broken");
    QFile::remove(aside);
    if (QFile::rename(m_path, aside)) {
        qWarning().noquote() << "keychain: the file" << m_path << "is damaged and was moved to"
                             << aside;
    } else {
        qWarning().noquote() << "keychain: the file" << m_path << "is damaged";
    }
    return {};
}

void FileKeychain::writeItems(const QJsonObject& items) {
    const QString folder = QFileInfo(m_path).absolutePath();
    if (!QDir(folder).exists()) {
        if (!PrivateFiles::makeFolder(folder)) {
            throw CommonException(QStringLiteral("Cannot create the folder %1").arg(folder));
        }
    }
    QJsonObject root;
    root.insert(u"format", kFormat);
    root.insert(u"version", kVersion);
    root.insert(u"items", items);

    const QByteArray bytes = QJsonDocument(root).toJson(QJsonDocument::Compact);
    // Restricted before the first secret byte goes into the temporary file.
    if (!AtomicFile::write(m_path, bytes)) {
        throw CommonException(QStringLiteral("Cannot write the keychain file %1").arg(m_path));
    }
}

} // namespace keskor
