#pragma once
// The settings dialog: behaviour switches, the number fields with their steppers, the language
// and the browser-connection password. OK stores everything through the settings controller;
// an entry it refuses keeps the dialog open for correction.

#include "bridge/AddonPasswordSettingsController.h"
#include "core/SettingsController.h"
#include "core/SettingsValues.h"

#include <QDialog>
#include <QList>
#include <utility>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QKeySequenceEdit;
class QLineEdit;
class QPushButton;

namespace keskor {

struct UiContext;

class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit SettingsDialog(UiContext& ctx, QWidget* parent = nullptr);

    void accept() override;

private:
    QGroupBox* group(const QString& name, const QString& titleKey);
    QCheckBox* check(bool SettingsValues::*value, const QString& name, const QString& textKey,
                     QWidget* parent);
    QWidget* numberField(SettingsController::NumberField field, QLineEdit*& edit,
                         const QString& name, QWidget* parent);
    void openPasswordDialog(const QString& dialogId);
    void showValues(const SettingsValues& values);
    SettingsValues values() const;
    void showAddonPassword();

    UiContext& m_ctx;
    AddonPasswordSettingsController m_addon;
    QList<std::pair<bool SettingsValues::*, QCheckBox*>> m_checks;
    QLineEdit* m_port = nullptr;
    QKeySequenceEdit* m_shortcut = nullptr;
    QLineEdit* m_backupCount = nullptr;
    QCheckBox* m_clipboardOn = nullptr;
    QLineEdit* m_clipboardTime = nullptr;
    QCheckBox* m_lockOn = nullptr;
    QLineEdit* m_lockTime = nullptr;
    QComboBox* m_language = nullptr;
    QCheckBox* m_addonPassword = nullptr;
    QPushButton* m_addonPasswordChange = nullptr;
};

} // namespace keskor
