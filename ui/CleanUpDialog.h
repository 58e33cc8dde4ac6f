#pragma once
// The clean-up tool: criteria for entries that may need tidying, the entries found with a check
// box each, and the actions on the marked ones. The search runs again whenever a criterion
// changes; the controller does the rest.

#include "tools/CleanUpViewController.h"

#include <QDialog>

class QCheckBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableView;

namespace keskor {

class CheckableEntryModel;
struct UiContext;

class CleanUpDialog : public QDialog {
    Q_OBJECT
public:
    explicit CleanUpDialog(UiContext& ctx, QWidget* parent = nullptr);

    CleanUpViewController& controller() { return m_controller; }

private:
    CleanUpCriteria criteria() const;
    void search();
    void run(void (CleanUpViewController::*action)());
    void showState();

    CleanUpViewController m_controller;
    CheckableEntryModel* m_model;
    QCheckBox* m_expired;
    QDateEdit* m_expiredDate;
    QCheckBox* m_attachment;
    QSpinBox* m_attachmentSize;
    QCheckBox* m_notUsed;
    QDateEdit* m_notUsedDate;
    QCheckBox* m_neverUsed;
    QCheckBox* m_history;
    QCheckBox* m_customIcon;
    QRadioButton* m_or;
    QRadioButton* m_and;
    QTableView* m_table;
    QLabel* m_description;
    QPushButton* m_deleteHistory;
    QPushButton* m_deleteAttachment;
    QPushButton* m_resetIcon;
    QPushButton* m_deleteEntry;
};

} // namespace keskor
