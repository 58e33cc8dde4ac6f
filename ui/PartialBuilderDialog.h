#pragma once
// The partial-password builder: one row per character of a password with its position and a
// check box; the ticked characters, in position order, are copied to the clipboard.

#include "tools/PartialBuilderViewController.h"

#include <QDialog>
#include <QList>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace keskor {

struct UiContext;

class PartialBuilderDialog : public QDialog {
    Q_OBJECT
public:
    PartialBuilderDialog(UiContext& ctx, const QString& password, QWidget* parent = nullptr);

    void reject() override;

private:
    QWidget* buildCells();
    void refresh();

    PartialBuilderViewController m_controller;
    QList<QLabel*> m_labels;
    QList<QCheckBox*> m_checks;
    QCheckBox* m_visible;
    QLineEdit* m_partial;
};

} // namespace keskor
