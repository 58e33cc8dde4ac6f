#pragma once
// What the settings dialog shows and hands back on confirm, as plain values: the Qt dialog and
// the CLI fill it from their controls, SettingsController reads and writes the store with it.
// Number fields are texts because that is what the user typed; the controller parses them.

#include <QString>
#include <QVariantMap>

namespace keskor {

struct SettingsValues {
    bool openLastUsedDb = true;
    bool saveRecentFiles = true;
    bool autoSaving = true;
    bool enterpriseLocalCopy = true;
    bool remoteRemoveClosing = true;
    bool backupOnOpening = true;
    bool backupOnSaving = false;
    bool enterpriseSSL = false;
    bool addonAutoFill = true;
    bool addonAddNewFromWeb = true;

    QString portText;
    QString backupCountText;

    /// A time's check box off means -1 (never) is stored; the field keeps a number so that
    /// turning the box on again offers something sensible.
    bool clipboardClearOn = true;
    QString clipboardClearTimeText;
    bool autoLockOn = true;
    QString autoLockTimeText;
    bool lockOnScreenLock = true;

    /// A language code, or "auto" to follow the system.
    QString languageId;

    /// The global auto-complete shortcut in portable text ("Ctrl+Alt+A"); empty for none.
    QString autoCompleteShortcut;

    /// Shown only: the bridge password has its own dialogs, confirm does not touch it.
    bool addonPasswordProtected = false;

    bool operator==(const SettingsValues&) const = default;

    /// Field name to value, for Presenter::openDialog and back.
    QVariantMap toVariantMap() const;
    /// Missing or mistyped entries keep the values of `base`.
    static SettingsValues fromVariantMap(const QVariantMap& map, const SettingsValues& base);
    /// Missing or mistyped entries keep the defaults above.
    static SettingsValues fromVariantMap(const QVariantMap& map);
};

} // namespace keskor
