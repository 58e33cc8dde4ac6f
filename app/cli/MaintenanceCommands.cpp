#include "app/cli/MaintenanceCommands.h"

#include "app/cli/CliContext.h"
#include "app/cli/CliRun.h"
#include "app/cli/CliUsageError.h"
#include "app/cli/EntryPath.h"
#include "core/AppDelegate.h"
#include "core/BackupManagerController.h"
#include "core/BackupStorage.h"
#include "core/FileFunctions.h"
#include "core/Localizer.h"
#include "core/SettingManager.h"
#include "core/SettingsController.h"
#include "core/shared/CommonException.h"
#include "core/shared/Credentials.h"
#include "core/shared/KeyHelper.h"
#include "core/shared/PassFile.h"
#include "core/shared/SecureBytes.h"
#include "tools/CleanUpViewController.h"
#include "tools/ReplaceSearch.h"
#include "tools/ReplaceViewController.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <limits>

namespace keskor {

namespace {

const QCommandLineOption yesOption =
    flagOption(QStringLiteral("yes"), QStringLiteral("Answer yes to the confirmation question."));

/// Asks through the presenter (--yes answers it); throws when the answer is no.
void confirm(CliRun& run, const QString& question) {
    run.context().presenter().setAssumeYes(run.isSet(QStringLiteral("yes")));
    const int answer = run.context().presenter().alert(
        AlertStyle::warning, UiText::key(QStringLiteral("dialog_confirm")), UiText::plain(question),
        {UiText::key(QStringLiteral("dialog_yes")), UiText::key(QStringLiteral("dialog_no"))});
    if (answer != 0) {
        throw CommonException(
            QStringLiteral("Not confirmed; nothing was changed. Give --yes to answer yes."));
    }
}

QDateTime dateOption(const CliRun& run, const QString& option) {
    const QDate date = QDate::fromString(run.value(option).trimmed(), Qt::ISODate);
    if (!date.isValid()) {
        throw CliUsageError(QStringLiteral("--%1 takes a date as YYYY-MM-DD, not \"%2\".")
                                .arg(option, run.value(option)));
    }
    return date.startOfDay();
}

// clean ------------------------------------------------------------------------------------

struct CleanAction {
    const char* option;
    void (CleanUpViewController::*perform)();
    const char* done;
};

const CleanAction kCleanActions[] = {
    {"delete-attachments", &CleanUpViewController::onDeleteAttachment,
     "Removed the attachments of %1 entries."},
    {"reset-icons", &CleanUpViewController::onResetIcon, "Reset the icons of %1 entries."},
    {"delete", &CleanUpViewController::onDeleteEntry, "Deleted %1 entries."},
};

int clean(CliRun& run) {
    CleanUpCriteria criteria;
    if (run.isSet(QStringLiteral("expired-before"))) {
        criteria.showExpiredBeforeCheck = true;
        criteria.expireBeforeDatepicker = dateOption(run, QStringLiteral("expired-before"));
    }
    if (run.isSet(QStringLiteral("attachments-over"))) {
        criteria.withAttachmentBiggerCheck = true;
        criteria.attachmentSizeField = QString::number(run.intValue(
            QStringLiteral("attachments-over"), 0, std::numeric_limits<int>::max(), 0));
    }
    if (run.isSet(QStringLiteral("unused-since"))) {
        criteria.notUsedAfterCheck = true;
        criteria.notUsedAfterDatePicker = dateOption(run, QStringLiteral("unused-since"));
    }
    criteria.neverUsedCheck = run.isSet(QStringLiteral("never-used"));
    criteria.withCustomIconCheck = run.isSet(QStringLiteral("custom-icons"));
    criteria.radioOR = !run.isSet(QStringLiteral("all"));
    if (!criteria.showExpiredBeforeCheck && !criteria.withAttachmentBiggerCheck &&
        !criteria.notUsedAfterCheck && !criteria.neverUsedCheck && !criteria.withCustomIconCheck) {
        throw CliUsageError(QStringLiteral("Choose at least one criterion."));
    }

    const bool dryRun = run.isSet(QStringLiteral("dry-run"));
    if (dryRun) {
        run.openToRead(run.argument(0));
    } else {
        run.openDatabase(run.argument(0));
    }
    bool saved = false;
    CleanUpViewController controller(
        run.context().presenter(), run.context().localizer().lookup(),
        [&run] { return &run.database(); },
        [&] {
            run.saveDatabase();
            saved = true;
        });
    const CleanUpViewState& state = controller.search(criteria);
    for (const auto& item : state.resultArray) {
        run.out(EntryPath::of(*item));
    }
    run.note(state.descriptionLabel);

    for (const CleanAction& action : kCleanActions) {
        if (!run.isSet(QString::fromLatin1(action.option))) {
            continue;
        }
        if (state.resultArray.empty() || dryRun) {
            run.note(QStringLiteral("--%1: nothing was changed.").arg(action.option));
            continue;
        }
        const auto count = qsizetype(state.resultArray.size());
        CliPresenter& presenter = run.context().presenter();
        presenter.setAssumeYes(run.isSet(QStringLiteral("yes")));
        presenter.resetWarned();
        saved = false;
        (controller.*action.perform)();
        if (!saved) {
            // The controller either refused for want of rights (a warning) or was told no.
            throw CommonException(
                presenter.warned()
                    ? QStringLiteral("--%1: you may not change every listed entry; nothing was "
                                     "changed.")
                          .arg(action.option)
                    : QStringLiteral("--%1: not confirmed, not done. Give --yes to answer yes.")
                          .arg(action.option));
        }
        run.out(QString::fromLatin1(action.done).arg(count));
    }
    return 0;
}

// replace ----------------------------------------------------------------------------------

/// The fields the replacement looks at, by name, with their values.
QList<std::pair<QString, QString>> replaceFields(const Info2Item& item,
                                                 const ReplaceControls& controls) {
    QList<std::pair<QString, QString>> fields;
    const auto add = [&](bool on, const QString& name, const std::optional<QString>& value) {
        if (on) {
            fields.append({name, value.value_or(QString())});
        }
    };
    add(controls.descriptionCheck, QStringLiteral("Description"), item.description());
    add(controls.usernameCheck, QStringLiteral("UserName"), item.userName());
    add(controls.passwordCheck, QStringLiteral("Password"), item.password());
    add(controls.urlCheck, QStringLiteral("URL"), item.url());
    add(controls.commentsCheck, QStringLiteral("Comment"), item.comment());
    for (const PswField& custom : item.customFields()) {
        add(controls.customFieldCheck, custom.name, custom.value);
    }
    return fields;
}

void wipeFields(QList<std::pair<QString, QString>>& fields) {
    for (auto& field : fields) {
        secureWipe(field.second);
    }
}

int replace(CliRun& run) {
    ReplaceControls controls;
    controls.searchField = run.argument(1);
    controls.replaceField = run.argument(2);
    if (controls.searchField.isEmpty()) {
        throw CliUsageError(QStringLiteral("FIND cannot be empty."));
    }
    if (controls.replaceField.isEmpty()) {
        throw CliUsageError(
            QStringLiteral("REPLACE cannot be empty: the replacement never deletes text."));
    }
    const QStringList fieldOptions{QStringLiteral("description"), QStringLiteral("user"),
                                   QStringLiteral("password"),    QStringLiteral("custom-fields"),
                                   QStringLiteral("url"),         QStringLiteral("comment")};
    if (std::any_of(fieldOptions.begin(), fieldOptions.end(),
                    [&](const QString& o) { return run.isSet(o); })) {
        controls.descriptionCheck = run.isSet(QStringLiteral("description"));
        controls.usernameCheck = run.isSet(QStringLiteral("user"));
        controls.passwordCheck = run.isSet(QStringLiteral("password"));
        controls.customFieldCheck = run.isSet(QStringLiteral("custom-fields"));
        controls.urlCheck = run.isSet(QStringLiteral("url"));
        controls.commentsCheck = run.isSet(QStringLiteral("comment"));
    }
    controls.includeSubFolderCheck = !run.isSet(QStringLiteral("no-subfolders"));
    controls.matchCaseCheck = run.isSet(QStringLiteral("match-case"));

    const bool dryRun = run.isSet(QStringLiteral("dry-run"));
    PassFile& file = dryRun ? run.openToRead(run.argument(0)) : run.openDatabase(run.argument(0));
    if (run.isSet(QStringLiteral("folder"))) {
        const auto folder = EntryPath::folder(file, run.value(QStringLiteral("folder")));
        controls.folderFingerprint = folder ? folder->fingerprint() : QString();
    }
    bool saved = false;
    ReplaceViewController controller(
        run.context().presenter(), run.context().localizer().lookup(),
        [&run] { return &run.database(); },
        [&] {
            run.saveDatabase();
            saved = true;
        });
    controller.onFind(controls);
    const std::vector<std::shared_ptr<Info2Item>> found = controller.state().resultArray;
    if (found.empty()) {
        run.note(QStringLiteral("No entry contains \"%1\"; nothing was changed.")
                     .arg(controls.searchField));
        return 0;
    }

    if (dryRun) {
        for (const auto& item : found) {
            QList<std::pair<QString, QString>> fields = replaceFields(*item, controls);
            QStringList names;
            for (const auto& [name, value] : fields) {
                if (ReplaceSearch::contains(value, controls.searchField, controls.matchCaseCheck)) {
                    names.append(name);
                }
            }
            wipeFields(fields);
            run.out(EntryPath::of(*item) + QStringLiteral(": ") + names.join(QStringLiteral(", ")));
        }
        run.note(
            QStringLiteral("%1 entries found; nothing was changed (--dry-run).").arg(found.size()));
        return 0;
    }

    struct Before {
        QString path;
        QList<std::pair<QString, QString>> fields;
    };
    std::vector<Before> before;
    for (const auto& item : found) {
        before.push_back({EntryPath::of(*item), replaceFields(*item, controls)});
    }
    CliPresenter& presenter = run.context().presenter();
    presenter.setAssumeYes(run.isSet(QStringLiteral("yes")));
    presenter.resetWarned();
    controller.onReplace(controls);
    if (!saved) {
        for (Before& b : before) {
            wipeFields(b.fields);
        }
        throw CommonException(
            presenter.warned()
                ? QStringLiteral("You may not change every entry found; nothing was changed.")
                : QStringLiteral("Not confirmed; nothing was changed. Give --yes to answer yes."));
    }
    int changed = 0;
    for (std::size_t i = 0; i < found.size(); ++i) {
        QList<std::pair<QString, QString>> after = replaceFields(*found[i], controls);
        QStringList names;
        for (qsizetype f = 0; f < after.size() && f < before[i].fields.size(); ++f) {
            if (after[f].second != before[i].fields[f].second) {
                names.append(after[f].first);
            }
        }
        wipeFields(after);
        wipeFields(before[i].fields);
        if (!names.isEmpty()) {
            ++changed;
            run.out(before[i].path + QStringLiteral(": ") + names.join(QStringLiteral(", ")));
        }
    }
    run.note(QStringLiteral("Changed %1 of %2 entries found.").arg(changed).arg(found.size()));
    return 0;
}

// backups ----------------------------------------------------------------------------------

Credentials credentialsFrom(const CredentialsAnswer& answer, bool askPassword) {
    std::optional<Key256> external;
    if (answer.keyFilePath) {
        external = KeyHelper::readExternalKey(*answer.keyFilePath);
    }
    return Credentials(askPassword ? std::optional<QString>(answer.password) : std::nullopt,
                       external);
}

void restoreBackup(CliRun& run, BackupStorage& storage, const QFileInfo& database,
                   const BackupFileInfo& chosen) {
    if (!database.isFile()) {
        throw CommonException(QStringLiteral("%1 does not exist.").arg(database.filePath()));
    }
    const AppPaths& paths = run.context().paths();
    const DatabaseInfo databaseInfo{database.fileName(), database.absolutePath(),
                                    Location::localDevice, false};
    const DatabaseInfo backupInfo = storage.openBackup(chosen);
    const PassFile header = FileFunctions::readDatabase(paths, databaseInfo, nullptr, true);

    // Both files are read with the database's credentials before anything is written, and
    // without the open workflow: it would make a backup of its own and could push out the one
    // being restored.
    KeyHelper keys;
    std::optional<PassFile> current;
    std::optional<Key256> currentKey;
    std::optional<PassFile> restored;
    std::optional<Key256> restoredKey;
    std::optional<QString> backupFailure;
    CredentialsRequest request;
    request.databaseName = database.fileName();
    request.hint = header.hint.value_or(QString());
    request.askPassword = header.authType() != PassFile::AuthenticationType::KeyFile;
    request.askKeyFile = header.authType() != PassFile::AuthenticationType::Password;
    request.validate = [&](const CredentialsAnswer& answer) -> std::optional<UiText> {
        try {
            const Credentials credentials = credentialsFrom(answer, request.askPassword);
            Key256 key = keys.keyFromCredentials(header, credentials);
            current = FileFunctions::readDatabase(paths, databaseInfo, &key, false);
            currentKey = std::move(key);
            try {
                const PassFile backupHeader =
                    FileFunctions::readDatabase(paths, backupInfo, nullptr, true);
                Key256 backupKey = keys.keyFromCredentials(backupHeader, credentials);
                restored = FileFunctions::readDatabase(paths, backupInfo, &backupKey, false);
                restoredKey = std::move(backupKey);
            } catch (const CommonException& e) {
                backupFailure = e.message();
            }
            return std::nullopt;
        } catch (const CommonException& e) {
            return UiText::plain(e.message());
        }
    };
    if (!run.context().presenter().askCredentials(request) || !current) {
        throw CommonException(QStringLiteral("%1 was not opened.").arg(database.filePath()));
    }
    if (backupFailure || !restored) {
        throw CommonException(
            QStringLiteral("The backup %1 does not open with the credentials "
                           "of %2 (%3); nothing was changed.")
                .arg(chosen.name, database.fileName(), backupFailure.value_or(QString())));
    }
    confirm(run, QStringLiteral("Replace %1 with the backup %2 of %3?")
                     .arg(database.fileName(), chosen.name,
                          chosen.modified.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));

    // The version being replaced becomes a backup itself, so a wrong choice can be undone.
    QString kept;
    try {
        kept = storage.createBackup(BackupStorage::backupBaseName(database.fileName()), *currentKey,
                                    *current);
    } catch (const CommonException& e) {
        throw CommonException(
            QStringLiteral("The current version could not be backed up (%1); nothing was changed.")
                .arg(e.message()));
    }
    // Kept in the database's own storage form, whatever the form of the backup.
    restored->setFileType(current->fileType());
    FileFunctions::writeDatabase(database.absoluteFilePath(), *restoredKey, *restored);
    FileFunctions::readDatabase(paths, databaseInfo, &*restoredKey, false);
    run.confirm(QStringLiteral("Restored %1 from %2; the version before is kept as the backup %3.")
                    .arg(database.fileName(), chosen.name, QFileInfo(kept).fileName()));
}

int backups(CliRun& run) {
    const QFileInfo database(run.argument(0));
    BackupStorage& storage = run.context().app().backups();
    const QList<BackupFileInfo> list =
        BackupManagerController::backupsOf(storage, database.fileName());
    const bool restore = run.isSet(QStringLiteral("restore"));
    const bool remove = run.isSet(QStringLiteral("delete"));
    if (restore && remove) {
        throw CliUsageError(QStringLiteral("Choose one of --restore and --delete."));
    }
    if (!restore && !remove) {
        for (qsizetype i = 0; i < list.size(); ++i) {
            const BackupFileInfo& b = list[i];
            run.out(QStringLiteral("%1\t%2\t%3\t%4")
                        .arg(i + 1)
                        .arg(b.name)
                        .arg(b.size)
                        .arg(b.modified.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
        }
        return 0;
    }
    const QString option = restore ? QStringLiteral("restore") : QStringLiteral("delete");
    if (list.isEmpty()) {
        throw CommonException(
            QStringLiteral("There are no backups of %1.").arg(database.fileName()));
    }
    const BackupFileInfo chosen = list[run.intValue(option, 1, int(list.size()), 1) - 1];
    if (restore) {
        restoreBackup(run, storage, database, chosen);
        return 0;
    }
    confirm(run, QStringLiteral("Delete the backup %1?").arg(chosen.name));
    if (!storage.deleteBackup(chosen)) {
        throw CommonException(QStringLiteral("The backup %1 was not deleted.").arg(chosen.name));
    }
    run.confirm(QStringLiteral("Deleted %1").arg(chosen.name));
    return 0;
}

// settings ---------------------------------------------------------------------------------

const QString kMasked = QStringLiteral("********");

struct Setting {
    QString key;
    std::function<QString()> get;
    /// Throws CliUsageError for a value that does not fit.
    std::function<void(const QString&)> set;
    bool secret = false;
};

bool parseBool(const QString& key, const QString& text) {
    if (text.compare(QStringLiteral("true"), Qt::CaseInsensitive) == 0) {
        return true;
    }
    if (text.compare(QStringLiteral("false"), Qt::CaseInsensitive) == 0) {
        return false;
    }
    throw CliUsageError(QStringLiteral("%1 takes true or false, not \"%2\".").arg(key, text));
}

int parseInt(const QString& key, const QString& text, qint64 min, qint64 max) {
    bool ok = false;
    const qint64 value = text.trimmed().toLongLong(&ok);
    if (!ok || value < min || value > max) {
        throw CliUsageError(QStringLiteral("%1 takes a whole number from %2 to %3, not \"%4\".")
                                .arg(key)
                                .arg(min)
                                .arg(max)
                                .arg(text));
    }
    return static_cast<int>(value);
}

QString boolText(bool on) {
    return on ? QStringLiteral("true") : QStringLiteral("false");
}

QList<Setting> settingTable(CliRun& run) {
    SettingManager& s = run.context().settings();
    QList<Setting> table;
    const auto boolean = [&](const QString& key, bool (SettingManager::*get)() const,
                             void (SettingManager::*set)(bool)) {
        table.append({key, [&s, get] { return boolText((s.*get)()); },
                      [&s, set, key](const QString& v) { (s.*set)(parseBool(key, v)); }});
    };
    // A time of -1 turns the feature off; other values are clamped by the setter.
    const auto time = [&](const QString& key, int (SettingManager::*get)() const,
                          void (SettingManager::*set)(int)) {
        table.append(
            {key, [&s, get] { return QString::number((s.*get)()); },
             [&s, set, key](const QString& v) {
                 (s.*set)(parseInt(key, v, SettingManager::never, std::numeric_limits<int>::max()));
             }});
    };
    const auto text = [&](const QString& key, std::optional<QString> (SettingManager::*get)() const,
                          void (SettingManager::*set)(const std::optional<QString>&)) {
        table.append({key, [&s, get] { return (s.*get)().value_or(QString()); },
                      [&s, set](const QString& v) {
                          (s.*set)(v.isEmpty() ? std::nullopt : std::optional<QString>(v));
                      }});
    };

    boolean(s.autoSavingKey, &SettingManager::isAutoSaving, &SettingManager::setAutoSaving);
    text(s.languageKey, &SettingManager::language, &SettingManager::setLanguage);
    boolean(s.openLastUsedDbKey, &SettingManager::openLastUsedDb,
            &SettingManager::setOpenLastUsedDb);
    boolean(s.hasToOpenLastDbKey, &SettingManager::hasToOpenLastDb,
            &SettingManager::setHasToOpenLastDb);
    boolean(s.saveRecentFilesKey, &SettingManager::saveRecentFiles,
            &SettingManager::setSaveRecentFiles);
    time(s.clipboardClearTimeKey, &SettingManager::clipboardClearTime,
         &SettingManager::setClipboardClearTime);
    time(s.autoLockTimeKey, &SettingManager::autoLockTime, &SettingManager::setAutoLockTime);
    boolean(s.lockOnScreenLockKey, &SettingManager::lockOnScreenLock,
            &SettingManager::setLockOnScreenLock);
    boolean(s.enterpriseLocalCopyKey, &SettingManager::enterpriseLocalCopy,
            &SettingManager::setEnterpriseLocalCopy);
    boolean(s.remoteRemoveClosingKey, &SettingManager::remoteRemoveClosing,
            &SettingManager::setRemoteRemoveClosing);
    boolean(s.backupOnSavingKey, &SettingManager::backupOnSaving,
            &SettingManager::setBackupOnSaving);
    boolean(s.backupOnOpeningKey, &SettingManager::backupOnOpening,
            &SettingManager::setBackupOnOpening);
    // The settings dialog refuses a count below 1 and a port outside 1 to 65535; so does this.
    table.append({s.backupCountKey, [&s] { return QString::number(s.backupCount()); },
                  [&s](const QString& v) {
                      s.setBackupCount(
                          parseInt(s.backupCountKey, v, 1, std::numeric_limits<int>::max()));
                  }});
    table.append({s.useSSLKey,
                  [&s] {
                      const std::optional<bool> on = s.useSSL();
                      return on ? boolText(*on) : QString();
                  },
                  [&s](const QString& v) { s.setUseSSL(parseBool(s.useSSLKey, v)); }});
    boolean(s.addonAutoFillKey, &SettingManager::addonAutoFill, &SettingManager::setAddonAutoFill);
    boolean(s.addonAddNewFromWebKey, &SettingManager::addonAddNewFromWeb,
            &SettingManager::setAddonAddNewFromWeb);
    table.append({s.addonWebSocketPortKey, [&s] { return QString::number(s.addonWebSocketPort()); },
                  [&s](const QString& v) {
                      s.setAddonWebSocketPort(
                          parseInt(s.addonWebSocketPortKey, v, 1, SettingsController::maxPort));
                  }});
    table.append({s.addonProtectPasswordKey,
                  [&s] {
                      std::optional<QString> password = s.addonProtectPassword();
                      if (!password) {
                          return QString();
                      }
                      secureWipe(*password);
                      return kMasked;
                  },
                  [&s](const QString& v) {
                      s.setAddonProtectPassword(v.isEmpty() ? std::nullopt
                                                            : std::optional<QString>(v));
                  },
                  true});
    boolean(s.enterpriseSSLKey, &SettingManager::enterpriseSSL, &SettingManager::setEnterpriseSSL);
    boolean(s.enterprisePinCertificateKey, &SettingManager::enterprisePinCertificate,
            &SettingManager::setEnterprisePinCertificate);
    // The interface language goes with the platform's preference, as the dialog stores it.
    table.append({s.appLanguageKey, [&s] { return s.appLanguage().value_or(QString()); },
                  [&s, &run](const QString& v) {
                      const QString code = v.trimmed();
                      if (code.isEmpty() || code == SettingsController::autoLanguage) {
                          s.setAppLanguage(std::nullopt);
                          s.setAppleLanguages(std::nullopt);
                      } else {
                          s.setAppLanguage(code);
                          s.setAppleLanguages(QStringList{code});
                      }
                      run.note(run.context().localizer().text(
                          UiText::key(QStringLiteral("setting_language_restart"))));
                  }});
    table.append({s.appleLanguagesKey,
                  [&s] { return s.appleLanguages().value_or(QStringList()).join(u','); },
                  [&s](const QString& v) {
                      const QStringList codes = v.split(u',', Qt::SkipEmptyParts);
                      s.setAppleLanguages(codes.isEmpty() ? std::nullopt
                                                          : std::optional<QStringList>(codes));
                  }});
    return table;
}

const Setting& findSetting(const QList<Setting>& table, const QString& key) {
    for (const Setting& setting : table) {
        if (setting.key == key) {
            return setting;
        }
    }
    throw CliUsageError(
        QStringLiteral("unknown setting \"%1\"; keskor-cli settings list shows them").arg(key));
}

int settings(CliRun& run) {
    const QString action = run.argument(0);
    const qsizetype count = run.arguments().size();
    const auto arity = [&](qsizetype min, qsizetype max, const char* usage) {
        if (count < min || count > max) {
            throw CliUsageError(QStringLiteral("give settings %1").arg(QLatin1String(usage)));
        }
    };
    if (action == QStringLiteral("list")) {
        arity(1, 1, "list");
        for (const Setting& setting : settingTable(run)) {
            run.out(setting.key + u'=' + setting.get());
        }
        return 0;
    }
    if (action == QStringLiteral("get")) {
        arity(2, 2, "get KEY");
        const QList<Setting> table = settingTable(run);
        run.out(findSetting(table, run.argument(1)).get());
        return 0;
    }
    if (action == QStringLiteral("set")) {
        const QList<Setting> table = settingTable(run);
        const Setting& setting = count >= 2 ? findSetting(table, run.argument(1)) : table.first();
        // A secret may be left off the command line, out of the shell history, and typed.
        arity(setting.secret ? 2 : 3, 3, "set KEY VALUE");
        QString value =
            count == 3 ? run.argument(2) : run.readSecret(QStringLiteral("Bridge password"), true);
        setting.set(value);
        if (setting.secret) {
            secureWipe(value);
        }
        run.context().settings().synchronize();
        run.out(setting.key + u'=' + setting.get());
        return 0;
    }
    if (action == QStringLiteral("reset")) {
        arity(1, 1, "reset");
        run.context().app().settings().resetToDefaults();
        run.context().settings().synchronize();
        run.confirm(QStringLiteral("The settings are back at their defaults."));
        return 0;
    }
    throw CliUsageError(
        QStringLiteral("unknown action \"%1\"; give get, set, list or reset").arg(action));
}

} // namespace

QList<CliCommand> MaintenanceCommands::commands() {
    return {
        {QStringLiteral("clean"),
         QStringLiteral("DB"),
         QStringLiteral("Find entries to tidy up, and delete or tidy them."),
         QStringLiteral(
             "Lists the entries that meet any of the criteria (all of them with --all).\n"
             "Entries without an expiry or never used count as dated before every date.\n"
             "--delete, --reset-icons and --delete-attachments act on the listed entries after\n"
             "a confirmation question (--yes answers it); the database is then saved."),
         {valueOption({QStringLiteral("expired-before")},
                      QStringLiteral("Entries that expire before this date."),
                      QStringLiteral("YYYY-MM-DD")),
          valueOption({QStringLiteral("attachments-over")},
                      QStringLiteral("Entries whose attachments take more than this many KiB."),
                      QStringLiteral("KIB")),
          valueOption({QStringLiteral("unused-since")},
                      QStringLiteral("Entries not used after this date."),
                      QStringLiteral("YYYY-MM-DD")),
          flagOption(QStringLiteral("never-used"), QStringLiteral("Entries never used.")),
          flagOption(QStringLiteral("custom-icons"), QStringLiteral("Entries with a custom icon.")),
          flagOption(QStringLiteral("all"),
                     QStringLiteral("Only entries that meet every criterion.")),
          flagOption(QStringLiteral("delete"), QStringLiteral("Delete the listed entries.")),
          flagOption(QStringLiteral("reset-icons"),
                     QStringLiteral("Give the listed entries the standard icon.")),
          flagOption(QStringLiteral("delete-attachments"),
                     QStringLiteral("Remove the attachments of the listed entries.")),
          flagOption(QStringLiteral("dry-run"), QStringLiteral("List only; change nothing.")),
          yesOption},
         1,
         1,
         true,
         clean},
        {QStringLiteral("replace"),
         QStringLiteral("DB FIND REPLACE"),
         QStringLiteral("Find a text in entries and replace it."),
         QStringLiteral(
             "Without field options the description, user name, password and custom fields\n"
             "are searched. Finding ignores case unless --match-case is given; replacing\n"
             "always matches FIND as written. Asks before it changes anything (--yes answers)\n"
             "and prints each changed entry with its changed fields, never their values."),
         {flagOption(QStringLiteral("description"), QStringLiteral("Search the descriptions.")),
          flagOption(QStringLiteral("user"), QStringLiteral("Search the user names.")),
          flagOption(QStringLiteral("password"), QStringLiteral("Search the passwords.")),
          flagOption(QStringLiteral("custom-fields"),
                     QStringLiteral("Search the values of the custom fields.")),
          flagOption(QStringLiteral("url"), QStringLiteral("Search the addresses.")),
          flagOption(QStringLiteral("comment"), QStringLiteral("Search the comments.")),
          valueOption({QStringLiteral("folder")}, QStringLiteral("Search only this folder."),
                      QStringLiteral("PATH")),
          flagOption(QStringLiteral("no-subfolders"),
                     QStringLiteral("Leave out the folders below the searched one.")),
          flagOption(QStringLiteral("match-case"), QStringLiteral("Find only the same case.")),
          flagOption(QStringLiteral("dry-run"),
                     QStringLiteral("List the entries and fields found; change nothing.")),
          yesOption},
         3,
         3,
         true,
         replace},
        {QStringLiteral("backups"),
         QStringLiteral("DB"),
         QStringLiteral("List, restore or delete the backups of a database."),
         QStringLiteral(
             "Lists index, name, size in bytes and date of each backup, newest first.\n"
             "--restore N replaces DB with backup N once both open with the same\n"
             "credentials and the question is answered (--yes); the version it replaces is\n"
             "kept as a new backup."),
         {valueOption({QStringLiteral("restore")}, QStringLiteral("Restore backup N over DB."),
                      QStringLiteral("N")),
          valueOption({QStringLiteral("delete")}, QStringLiteral("Delete backup N."),
                      QStringLiteral("N")),
          yesOption},
         1,
         1,
         true,
         backups},
        {QStringLiteral("settings"),
         QStringLiteral("get KEY | set KEY VALUE | list | reset"),
         QStringLiteral("Read and change the program's settings."),
         QStringLiteral(
             "KEY is a stored setting name as list shows it. Switches take true or false;\n"
             "times take -1 for never and are raised to their least value (10 seconds for\n"
             "the clipboard, 1 minute for the lock). The bridge password is stored protected\n"
             "and shown masked; leave its VALUE off to type it, give \"\" to remove it.\n"
             "reset returns to the defaults (the language choice and the bridge password\n"
             "included)."),
         {},
         1,
         3,
         false,
         settings},
    };
}

} // namespace keskor
