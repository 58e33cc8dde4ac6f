#pragma once
// Find and replace: the search and replacement texts, the folder and the fields to search, the
// entries found with a check box each, and the replacement in the marked ones. The widgets
// only show the controller's state and hand it the state of the controls.

#include "tools/ReplaceViewController.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace keskor {

class CheckableEntryModel;
struct UiContext;

class ReplaceDialog : public QDialog {
    Q_OBJECT
public:
    /// `refreshSelection`: has the main view show the changed entries.
    ReplaceDialog(UiContext& ctx, std::function<void()> refreshSelection,
                  QWidget* parent = nullptr);
    ~ReplaceDialog() override;

private:
    ReplaceControls controls() const;
    void showControls(const ReplaceControls& controls);
    void showState();
    void fillFolders();

    UiContext& m_ctx;
    ReplaceViewController m_controller;
    CheckableEntryModel* m_model;
    QLineEdit* m_search;
    QLineEdit* m_replace;
    QComboBox* m_folder;
    QCheckBox* m_description;
    QCheckBox* m_username;
    QCheckBox* m_password;
    QCheckBox* m_customField;
    QCheckBox* m_url;
    QCheckBox* m_comments;
    QCheckBox* m_webform;
    QCheckBox* m_subFolders;
    QCheckBox* m_matchCase;
    QPushButton* m_findButton;
    QPushButton* m_replaceButton;
    QPushButton* m_newSearchButton;
    QTableView* m_table;
    QLabel* m_status1;
    QLabel* m_status2;
    quint64 m_observer = 0;
};

} // namespace keskor
