#pragma once
// The new-database dialog: where and under which name, the storage form, how it is unlocked
// (master password, key file or both) and the encryption level. OK hands the answers to the
// create workflow, which checks them and closes the dialog only when the database exists.

#include "core/Location.h"
#include "core/shared/KdfCalibration.h"
#include "core/shared/Key256.h"
#include "tools/CheckPwnedController.h"

#include <QDialog>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace keskor {

class StrengthReadoutView;
struct UiContext;

class CreateDatabaseDialog : public QDialog {
    Q_OBJECT
public:
    explicit CreateDatabaseDialog(UiContext& ctx, QWidget* parent = nullptr);

    /// Preselects where the database goes (the file browser of a cloud drive asks for its
    /// own); the folder only matters on the local disk.
    void setLocation(Location location);

    void accept() override;

private:
    QWidget* buildPasswordRows();
    QWidget* buildKeyFileRow();
    void chooseFolder();
    void chooseKeyFile();
    void generateKeyFile();
    void openPasswordGenerator();
    void setKeyFile(const Key256& key, const QString& path);
    void updateAuthentication();
    void updateStrength();
    void updateKdfLine();
    bool usesPassword() const;
    bool usesKeyFile() const;

    UiContext& m_ctx;
    CheckPwnedController m_pwned;
    std::optional<Key256> m_key;
    QComboBox* m_location;
    QLineEdit* m_folder;
    QLineEdit* m_name;
    QComboBox* m_format;
    QComboBox* m_authentication;
    QLineEdit* m_password;
    QLineEdit* m_confirmation;
    QCheckBox* m_showPassword;
    QPushButton* m_generate;
    QPushButton* m_check;
    StrengthReadoutView* m_strength;
    QLineEdit* m_hint;
    QLineEdit* m_description;
    QLineEdit* m_keyFile;
    QPushButton* m_chooseKey;
    QPushButton* m_newKey;
    QCheckBox* m_advanced;
    QLabel* m_kdf;
    /// The cost the line shows, used as shown.
    std::optional<KdfCalibration::Cost> m_kdfCost;
};

} // namespace keskor
