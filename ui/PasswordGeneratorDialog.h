#pragma once
// The password generator: a mouse-driven standard tab and an advanced tab. OK hands the
// password of the tab shown to the target; without a target it goes to the clipboard (the
// browser asks for a password to paste).

#include "tools/PasswordGeneratorViewController.h"

#include <QDialog>

class QTabWidget;

namespace keskor {

class PassGenAdvancedTab;
class PassGenStandardTab;
struct UiContext;

class PasswordGeneratorDialog : public QDialog {
    Q_OBJECT
public:
    PasswordGeneratorDialog(UiContext& ctx, PasswordGeneratorViewController::Target target,
                            QWidget* parent = nullptr);

    void accept() override;
    void reject() override;

private:
    PasswordGeneratorViewController m_controller;
    QTabWidget* m_tabs;
    PassGenStandardTab* m_standard;
    PassGenAdvancedTab* m_advanced;
};

} // namespace keskor
