#pragma once
// Sets or changes the password that protects the browser connection. Changing asks for the
// current password; a refused entry keeps the dialog open.

#include "bridge/WebSocketPasswordViewController.h"

#include <QDialog>

class QLineEdit;

namespace keskor {

struct UiContext;

class WebSocketPasswordDialog : public QDialog {
    Q_OBJECT
public:
    WebSocketPasswordDialog(UiContext& ctx, AddonPasswordSettingsController& delegate,
                            QWidget* parent = nullptr);

    void accept() override;
    void reject() override;

private:
    WebSocketPasswordViewController m_controller;
    QLineEdit* m_current;
    QLineEdit* m_new;
    QLineEdit* m_confirm;
};

} // namespace keskor
