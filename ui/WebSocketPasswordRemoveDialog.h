#pragma once
// Removes the password that protects the browser connection: only the stored password itself
// removes it; a wrong one keeps the dialog open.

#include "bridge/WebSocketPasswordRemoveViewController.h"

#include <QDialog>

class QLineEdit;

namespace keskor {

struct UiContext;

class WebSocketPasswordRemoveDialog : public QDialog {
    Q_OBJECT
public:
    WebSocketPasswordRemoveDialog(UiContext& ctx, AddonPasswordSettingsController& delegate,
                                  QWidget* parent = nullptr);

    void accept() override;
    void reject() override;

private:
    WebSocketPasswordRemoveViewController m_controller;
    QLineEdit* m_current;
};

} // namespace keskor
