#include "core/SettingsValues.h"

namespace keskor {

namespace {

// One table drives both directions so a new field cannot be forgotten in one of them.
template <typename Visit> void forEachField(SettingsValues& v, Visit&& visit) {
    visit(QStringLiteral("openLastUsedDb"), v.openLastUsedDb);
    visit(QStringLiteral("saveRecentFiles"), v.saveRecentFiles);
    visit(QStringLiteral("autoSaving"), v.autoSaving);
    visit(QStringLiteral("enterpriseLocalCopy"), v.enterpriseLocalCopy);
    visit(QStringLiteral("remoteRemoveClosing"), v.remoteRemoveClosing);
    visit(QStringLiteral("backupOnOpening"), v.backupOnOpening);
    visit(QStringLiteral("backupOnSaving"), v.backupOnSaving);
    visit(QStringLiteral("enterpriseSSL"), v.enterpriseSSL);
    visit(QStringLiteral("addonAutoFill"), v.addonAutoFill);
    visit(QStringLiteral("addonAddNewFromWeb"), v.addonAddNewFromWeb);
    visit(QStringLiteral("portText"), v.portText);
    visit(QStringLiteral("backupCountText"), v.backupCountText);
    visit(QStringLiteral("clipboardClearOn"), v.clipboardClearOn);
    visit(QStringLiteral("clipboardClearTimeText"), v.clipboardClearTimeText);
    visit(QStringLiteral("autoLockOn"), v.autoLockOn);
    visit(QStringLiteral("autoLockTimeText"), v.autoLockTimeText);
    visit(QStringLiteral("lockOnScreenLock"), v.lockOnScreenLock);
    visit(QStringLiteral("languageId"), v.languageId);
    visit(QStringLiteral("autoCompleteShortcut"), v.autoCompleteShortcut);
    visit(QStringLiteral("addonPasswordProtected"), v.addonPasswordProtected);
}

void read(const QVariant& value, bool& field) {
    if (value.typeId() == QMetaType::Bool) {
        field = value.toBool();
    }
}

void read(const QVariant& value, QString& field) {
    if (value.typeId() == QMetaType::QString) {
        field = value.toString();
    }
}

} // namespace

QVariantMap SettingsValues::toVariantMap() const {
    QVariantMap map;
    SettingsValues copy = *this;
    forEachField(copy, [&map](const QString& name, const auto& field) { map.insert(name, field); });
    return map;
}

SettingsValues SettingsValues::fromVariantMap(const QVariantMap& map, const SettingsValues& base) {
    SettingsValues values = base;
    forEachField(values, [&map](const QString& name, auto& field) {
        const auto it = map.constFind(name);
        if (it != map.constEnd()) {
            read(*it, field);
        }
    });
    return values;
}

SettingsValues SettingsValues::fromVariantMap(const QVariantMap& map) {
    return fromVariantMap(map, SettingsValues());
}

} // namespace keskor
