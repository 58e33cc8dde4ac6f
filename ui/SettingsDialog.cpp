#include "ui/SettingsDialog.h"

#include "core/AppDelegate.h"
#include "core/Localizer.h"
#include "core/MainManager.h"
#include "ui/StepperButtons.h"
#include "ui/UiContext.h"
#include "ui/WebSocketPasswordDialog.h"
#include "ui/WebSocketPasswordRemoveDialog.h"
#include "ui/WidgetSync.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

namespace keskor {

namespace {

using NumberField = SettingsController::NumberField;

QString languageName(const QString& code) {
    QString name = QLocale(code).nativeLanguageName();
    if (name.isEmpty()) {
        return code;
    }
    name[0] = name[0].toUpper();
    return name;
}

} // namespace

SettingsDialog::SettingsDialog(UiContext& ctx, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_addon(ctx.app.mainManager().settingManager, ctx.presenter) {
    setObjectName(QStringLiteral("settingsDialog"));
    setWindowTitle(ctx.text(QStringLiteral("settings_title")));
    m_addon.setDialogOpener(
        [this](const QString& dialogId, const QVariantMap&) { openPasswordDialog(dialogId); });

    QGroupBox* general = group(QStringLiteral("generalBox"), QStringLiteral("settings_general"));
    auto* generalForm = new QFormLayout(general);
    generalForm->addRow(check(&SettingsValues::openLastUsedDb, QStringLiteral("openLastUsedCheck"),
                              QStringLiteral("settings_open_last"), general));
    generalForm->addRow(check(&SettingsValues::saveRecentFiles,
                              QStringLiteral("saveRecentFilesCheck"),
                              QStringLiteral("settings_save_recent"), general));
    generalForm->addRow(check(&SettingsValues::autoSaving, QStringLiteral("autoSavingCheck"),
                              QStringLiteral("settings_auto_saving"), general));
    m_language = new QComboBox(general);
    m_language->setObjectName(QStringLiteral("languageCombo"));
    m_language->addItem(ctx.text(QStringLiteral("settings_language_auto")),
                        SettingsController::autoLanguage);
    for (const QString& code : Localizer::availableLanguages()) {
        m_language->addItem(languageName(code), code);
    }
    generalForm->addRow(ctx.text(QStringLiteral("settings_language")), m_language);

    QGroupBox* security = group(QStringLiteral("securityBox"), QStringLiteral("settings_security"));
    auto* securityForm = new QFormLayout(security);
    m_clipboardOn = new QCheckBox(ctx.text(QStringLiteral("settings_clipboard_clear")), security);
    m_clipboardOn->setObjectName(QStringLiteral("clipboardClearCheck"));
    securityForm->addRow(m_clipboardOn,
                         numberField(NumberField::clipboardClearTime, m_clipboardTime,
                                     QStringLiteral("clipboardClearTime"), security));
    m_lockOn = new QCheckBox(ctx.text(QStringLiteral("settings_auto_lock")), security);
    m_lockOn->setObjectName(QStringLiteral("autoLockCheck"));
    securityForm->addRow(m_lockOn, numberField(NumberField::autoLockTime, m_lockTime,
                                               QStringLiteral("autoLockTime"), security));
    securityForm->addRow(check(&SettingsValues::lockOnScreenLock,
                               QStringLiteral("lockOnScreenLockCheck"),
                               QStringLiteral("setting_lock_on_screen_lock"), security));

    QGroupBox* backups = group(QStringLiteral("backupBox"), QStringLiteral("settings_backup"));
    auto* backupForm = new QFormLayout(backups);
    backupForm->addRow(check(&SettingsValues::backupOnOpening,
                             QStringLiteral("backupOnOpeningCheck"),
                             QStringLiteral("settings_backup_opening"), backups));
    backupForm->addRow(check(&SettingsValues::backupOnSaving, QStringLiteral("backupOnSavingCheck"),
                             QStringLiteral("settings_backup_saving"), backups));
    backupForm->addRow(ctx.text(QStringLiteral("settings_backup_count")),
                       numberField(NumberField::backupCount, m_backupCount,
                                   QStringLiteral("backupCount"), backups));

    QGroupBox* browser = group(QStringLiteral("browserBox"), QStringLiteral("settings_browser"));
    auto* browserForm = new QFormLayout(browser);
    browserForm->addRow(check(&SettingsValues::addonAutoFill, QStringLiteral("addonAutoFillCheck"),
                              QStringLiteral("settings_addon_autofill"), browser));
    browserForm->addRow(check(&SettingsValues::addonAddNewFromWeb,
                              QStringLiteral("addonAddNewCheck"),
                              QStringLiteral("settings_addon_add_new"), browser));
    browserForm->addRow(ctx.text(QStringLiteral("settings_port")),
                        numberField(NumberField::port, m_port, QStringLiteral("port"), browser));
    m_shortcut = new QKeySequenceEdit(browser);
    m_shortcut->setObjectName(QStringLiteral("autoCompleteShortcutField"));
    browserForm->addRow(ctx.text(QStringLiteral("settings_autocomplete_shortcut")), m_shortcut);
    m_addonPassword = new QCheckBox(ctx.text(QStringLiteral("settings_addon_password")), browser);
    m_addonPassword->setObjectName(QStringLiteral("addonPasswordCheck"));
    m_addonPasswordChange =
        new QPushButton(ctx.text(QStringLiteral("settings_addon_password_change")), browser);
    m_addonPasswordChange->setObjectName(QStringLiteral("addonPasswordChangeButton"));
    m_addonPasswordChange->setAutoDefault(false);
    auto* passwordRow = new QHBoxLayout;
    passwordRow->addWidget(m_addonPassword, 1);
    passwordRow->addWidget(m_addonPasswordChange);
    browserForm->addRow(passwordRow);

    QGroupBox* enterprise =
        group(QStringLiteral("enterpriseBox"), QStringLiteral("settings_enterprise"));
    auto* enterpriseForm = new QFormLayout(enterprise);
    enterpriseForm->addRow(check(&SettingsValues::enterpriseLocalCopy,
                                 QStringLiteral("enterpriseLocalCopyCheck"),
                                 QStringLiteral("settings_enterprise_local_copy"), enterprise));
    enterpriseForm->addRow(check(&SettingsValues::remoteRemoveClosing,
                                 QStringLiteral("remoteRemoveClosingCheck"),
                                 QStringLiteral("settings_remote_remove"), enterprise));
    enterpriseForm->addRow(check(&SettingsValues::enterpriseSSL,
                                 QStringLiteral("enterpriseSSLCheck"),
                                 QStringLiteral("settings_enterprise_ssl"), enterprise));

    auto* buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::RestoreDefaults, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Ok)->setText(ctx.text(QStringLiteral("dialog_ok")));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    buttons->button(QDialogButtonBox::Cancel)->setText(ctx.text(QStringLiteral("dialog_cancel")));
    QPushButton* reset = buttons->button(QDialogButtonBox::RestoreDefaults);
    reset->setObjectName(QStringLiteral("resetButton"));
    reset->setText(ctx.text(QStringLiteral("settings_reset")));
    reset->setAutoDefault(false);

    auto* grid = new QGridLayout;
    grid->addWidget(general, 0, 0);
    grid->addWidget(security, 1, 0);
    grid->addWidget(backups, 2, 0);
    grid->addWidget(browser, 0, 1);
    grid->addWidget(enterprise, 1, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(reset, &QPushButton::clicked, this, [this] {
        showValues(m_ctx.app.settings().resetToDefaults());
        m_addon.refresh();
        showAddonPassword();
    });
    connect(m_clipboardOn, &QCheckBox::toggled, m_clipboardTime->parentWidget(),
            &QWidget::setEnabled);
    connect(m_lockOn, &QCheckBox::toggled, m_lockTime->parentWidget(), &QWidget::setEnabled);
    connect(m_addonPassword, &QCheckBox::clicked, this, [this](bool on) {
        m_addon.addonPasswordCheck = on;
        m_addon.onProtectPasswordCheck();
        showAddonPassword();
    });
    connect(m_addonPasswordChange, &QPushButton::clicked, this, [this] {
        m_addon.onChangeProtectPassword();
        showAddonPassword();
    });

    showValues(ctx.app.settings().load());
    showAddonPassword();
}

QGroupBox* SettingsDialog::group(const QString& name, const QString& titleKey) {
    auto* box = new QGroupBox(m_ctx.text(titleKey), this);
    box->setObjectName(name);
    return box;
}

QCheckBox* SettingsDialog::check(bool SettingsValues::*value, const QString& name,
                                 const QString& textKey, QWidget* parent) {
    auto* box = new QCheckBox(m_ctx.text(textKey), parent);
    box->setObjectName(name);
    m_checks.append({value, box});
    return box;
}

QWidget* SettingsDialog::numberField(NumberField field, QLineEdit*& edit, const QString& name,
                                     QWidget* parent) {
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    edit = new QLineEdit(row);
    edit->setObjectName(name + QStringLiteral("Field"));
    edit->setMaximumWidth(80);
    auto* stepper = new StepperButtons(name + QStringLiteral("Stepper"), row);
    layout->addWidget(edit);
    layout->addWidget(stepper);
    layout->addStretch();
    QLineEdit* target = edit;
    connect(stepper, &StepperButtons::stepped, this, [target, field](int step) {
        if (const std::optional<QString> next =
                SettingsController::nudgeText(field, target->text(), step)) {
            target->setText(*next);
        }
    });
    return row;
}

void SettingsDialog::openPasswordDialog(const QString& dialogId) {
    if (dialogId == AddonPasswordSettingsController::removeDialogId) {
        WebSocketPasswordRemoveDialog dialog(m_ctx, m_addon, this);
        dialog.exec();
    } else {
        WebSocketPasswordDialog dialog(m_ctx, m_addon, this);
        dialog.exec();
    }
}

void SettingsDialog::showAddonPassword() {
    syncChecked(m_addonPassword, m_addon.addonPasswordCheck);
    m_addonPasswordChange->setEnabled(m_addon.addonPasswordChangeButton);
}

void SettingsDialog::showValues(const SettingsValues& v) {
    for (const auto& [value, box] : m_checks) {
        box->setChecked(v.*value);
    }
    m_port->setText(v.portText);
    m_shortcut->setKeySequence(
        QKeySequence::fromString(v.autoCompleteShortcut, QKeySequence::PortableText));
    m_backupCount->setText(v.backupCountText);
    m_clipboardOn->setChecked(v.clipboardClearOn);
    m_clipboardTime->setText(v.clipboardClearTimeText);
    m_clipboardTime->parentWidget()->setEnabled(v.clipboardClearOn);
    m_lockOn->setChecked(v.autoLockOn);
    m_lockTime->setText(v.autoLockTimeText);
    m_lockTime->parentWidget()->setEnabled(v.autoLockOn);
    const int language = m_language->findData(v.languageId);
    m_language->setCurrentIndex(language >= 0 ? language : 0);
}

SettingsValues SettingsDialog::values() const {
    SettingsValues v;
    for (const auto& [value, box] : m_checks) {
        v.*value = box->isChecked();
    }
    v.portText = m_port->text();
    v.autoCompleteShortcut = m_shortcut->keySequence().toString(QKeySequence::PortableText);
    v.backupCountText = m_backupCount->text();
    v.clipboardClearOn = m_clipboardOn->isChecked();
    v.clipboardClearTimeText = m_clipboardTime->text();
    v.autoLockOn = m_lockOn->isChecked();
    v.autoLockTimeText = m_lockTime->text();
    v.languageId = m_language->currentData().toString();
    v.addonPasswordProtected = m_addon.addonPasswordCheck;
    return v;
}

void SettingsDialog::accept() {
    if (!m_ctx.app.settings().confirm(values()).rejected) {
        QDialog::accept();
    }
}

} // namespace keskor
