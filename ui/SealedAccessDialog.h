#pragma once
// Asks the approvers of a sealed enterprise entry for access, with a reason.

#include "enterprise/SealedAccessViewController.h"

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace keskor {

struct UiContext;

class SealedAccessDialog : public QDialog {
    Q_OBJECT
public:
    SealedAccessDialog(UiContext& ctx, EnterpriseStorage& storage, const PassFile& database,
                       std::shared_ptr<Info2Item> owner, QWidget* parent = nullptr);

private:
    SealedAccessViewController m_controller;
    QPlainTextEdit* m_reasonText;
    QPushButton* m_requestButton;
};

} // namespace keskor
