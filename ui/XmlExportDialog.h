#pragma once
// Asks what to export (a folder, with or without its sub-folders, or only the entries selected
// in the main window) and where, then hands the export to its controller.

#include "tools/XmlExportController.h"

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace keskor {

struct UiContext;

class XmlExportDialog : public QDialog {
    Q_OBJECT
public:
    /// `selectedFingerprints`: the entries selected in the main window (may be empty).
    XmlExportDialog(UiContext& ctx, QStringList selectedFingerprints, QWidget* parent = nullptr);

    void accept() override;

private:
    void chooseFile();
    void updateButtons();

    UiContext& m_ctx;
    XmlExportController m_controller;
    QStringList m_selected;
    QComboBox* m_folder;
    QCheckBox* m_subfolders;
    QCheckBox* m_selectedOnly;
    QLineEdit* m_target;
    QPushButton* m_choose;
    QPushButton* m_export;
};

} // namespace keskor
