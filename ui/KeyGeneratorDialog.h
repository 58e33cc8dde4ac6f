#pragma once
// The key-file generator: the key is made at once and shown once the mouse has moved enough;
// it must be saved to a file before OK hands the key and the file's path to the delegate.

#include "tools/KeyGeneratorViewController.h"

#include <QDialog>

class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace keskor {

struct UiContext;

class KeyGeneratorDialog : public QDialog {
    Q_OBJECT
public:
    KeyGeneratorDialog(UiContext& ctx, KeyGeneratorViewController::Delegate delegate,
                       QWidget* parent = nullptr);

    void accept() override;
    void reject() override;

protected:
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void refresh();

    KeyGeneratorViewController m_controller;
    QProgressBar* m_progress;
    QPlainTextEdit* m_key;
    QLineEdit* m_file;
    QPushButton* m_refresh;
    QPushButton* m_save;
    QPushButton* m_ok;
};

} // namespace keskor
