#include "core/LocalStorageManager.h"

#include "platform/DefaultsStore.h"

namespace keskor {

namespace {

const QString kNone = QStringLiteral("none");
const QString kType = QStringLiteral("type");
const QString kCategory = QStringLiteral("category");

} // namespace

LocalStorageManager::LocalStorageManager(DefaultsStore& standardDefault)
    : m_standardDefault(standardDefault) {}

GroupBy LocalStorageManager::groupBy() const {
    const std::optional<QString> stored = m_standardDefault.stringValue(groupbyKey);
    if (!stored) {
        return GroupBy::type;
    }
    if (*stored == kNone) {
        return GroupBy::none;
    }
    if (*stored == kType) {
        return GroupBy::type;
    }
    return GroupBy::category;
}

void LocalStorageManager::setGroupBy(GroupBy groupBy) {
    switch (groupBy) {
    case GroupBy::none:
        m_standardDefault.setString(groupbyKey, kNone);
        return;
    case GroupBy::type:
        m_standardDefault.setString(groupbyKey, kType);
        return;
    case GroupBy::category:
        m_standardDefault.setString(groupbyKey, kCategory);
        return;
    }
    // A value cast from an unknown raw number: grouping by category is what reading any other
    // word gives, so store that rather than something unreadable.
    m_standardDefault.setString(groupbyKey, kCategory);
}

bool LocalStorageManager::showNavigationArea() const {
    return boolOr(showNavigationAreaKey, true);
}
void LocalStorageManager::setShowNavigationArea(bool show) {
    m_standardDefault.setBool(showNavigationAreaKey, show);
}

bool LocalStorageManager::showDBonServerArea() const {
    return boolOr(showDBonServerAreaKey, true);
}
void LocalStorageManager::setShowDBonServerArea(bool show) {
    m_standardDefault.setBool(showDBonServerAreaKey, show);
}

bool LocalStorageManager::showDetailArea() const {
    return boolOr(showDetailAreaKey, true);
}
void LocalStorageManager::setShowDetailArea(bool show) {
    m_standardDefault.setBool(showDetailAreaKey, show);
}

bool LocalStorageManager::showStatusBar() const {
    return boolOr(showStatusBarKey, true);
}
void LocalStorageManager::setShowStatusBar(bool show) {
    m_standardDefault.setBool(showStatusBarKey, show);
}

std::optional<QString> LocalStorageManager::lastSelectedFolder() const {
    return m_standardDefault.stringValue(lastSelectedFolderKey);
}

void LocalStorageManager::setLastSelectedFolder(const std::optional<QString>& folder) {
    if (folder) {
        m_standardDefault.setString(lastSelectedFolderKey, *folder);
    } else {
        m_standardDefault.remove(lastSelectedFolderKey);
    }
}

bool LocalStorageManager::boolOr(const QString& key, bool fallback) const {
    // The store logs a value of the wrong type (by key only) and gives no value for it.
    return m_standardDefault.boolValue(key).value_or(fallback);
}

QByteArray LocalStorageManager::windowFrame() const {
    return QByteArray::fromBase64(
        m_standardDefault.stringValue(windowFrameKey).value_or(QString()).toLatin1());
}

void LocalStorageManager::setWindowFrame(const QByteArray& frame) {
    m_standardDefault.setObject(windowFrameKey, QString::fromLatin1(frame.toBase64()));
}

} // namespace keskor
