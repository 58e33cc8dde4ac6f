#pragma once
// Offers to store a password the user has just changed in the browser in the entry it belongs
// to. Both fields start with the new password and must agree; Cancel, or a minute without an
// answer, leaves the entry as it was.

#include "bridge/WebSocketPasswordUpdateViewController.h"

#include <QDialog>

class QLineEdit;

namespace keskor {

struct UiContext;

class WebSocketPasswordUpdateDialog : public QDialog {
    Q_OBJECT
public:
    WebSocketPasswordUpdateDialog(UiContext& ctx, std::shared_ptr<Info2Item> entry,
                                  const QString& password, QWidget* parent = nullptr);

    WebSocketPasswordUpdateViewController& controller() { return m_controller; }

    void accept() override;
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    WebSocketPasswordUpdateViewController m_controller;
    QLineEdit* m_password;
    QLineEdit* m_confirm;
    /// What the dialog reports when the controller closes it.
    int m_outcome = QDialog::Rejected;
};

} // namespace keskor
