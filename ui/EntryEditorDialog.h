#pragma once
// The editor of one entry of any kind: the fields its kind has, custom fields, TANs,
// attachments, history versions and the icon. It binds its controls to the editor controller,
// which stores the entry through the main view's item changes.

#include "core/EntryEditorController.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QTableWidget;

namespace keskor {

struct UiContext;

class EntryEditorDialog : public QDialog {
    Q_OBJECT
public:
    /// Asks for a generated password; the target takes it (false when it is gone).
    using GeneratorOpener = std::function<void(std::function<bool(const QString&)> target)>;

    /// Edits `entry`.
    EntryEditorDialog(UiContext& ctx, std::shared_ptr<Info2Item> entry, QWidget* parent = nullptr);
    /// A new entry of `type` in `folder`.
    EntryEditorDialog(UiContext& ctx, int type, Info2Item& folder, QWidget* parent = nullptr);

    void setGeneratorOpener(GeneratorOpener opener) { m_generator = std::move(opener); }
    EntryEditorController& controller() { return m_controller; }

    void accept() override;

private:
    void build();
    void load();
    void store();
    void updateStrength();
    void fillHistory();
    void fillAttachments();
    QWidget* generalTab();
    QWidget* customFieldsTab();
    QWidget* tansTab();
    QWidget* attachmentsTab();
    QWidget* historyTab();
    QString t(const char* key) const;

    UiContext& m_ctx;
    EntryEditorController m_controller;
    GeneratorOpener m_generator;
    QLineEdit* m_title = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QLineEdit* m_url = nullptr;
    QComboBox* m_category = nullptr;
    QComboBox* m_importance = nullptr;
    QComboBox* m_icon = nullptr;
    QCheckBox* m_expires = nullptr;
    QDateEdit* m_expiry = nullptr;
    QCheckBox* m_favorite = nullptr;
    QLineEdit* m_template = nullptr;
    QPlainTextEdit* m_comment = nullptr;
    QProgressBar* m_strength = nullptr;
    QLabel* m_strengthText = nullptr;
    QTableWidget* m_custom = nullptr;
    QTableWidget* m_tans = nullptr;
    QListWidget* m_attachments = nullptr;
    QListWidget* m_history = nullptr;
};

} // namespace keskor
