#pragma once
// The print dialog: which entries, their order and fields, the page's title, orientation,
// margins and fonts on the left; the pages as they will print on the right. Every change goes
// to the controller, which lays the pages out again; the preview draws only the pages scrolled
// into view. Export writes a PDF file, Print hands the pages to a printer.

#include "tools/PrintViewController.h"

#include <QDialog>
#include <QList>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QScrollArea;
class QTimer;
class QVBoxLayout;

namespace keskor {

struct UiContext;

class PrintDialog : public QDialog {
    Q_OBJECT
public:
    /// `databasePath` is what the page header shows.
    PrintDialog(UiContext& ctx, PDFOptions options, QString databasePath,
                QWidget* parent = nullptr);

    PrintViewController& controller() { return m_controller; }
    /// What Export does once its file dialog returned `path` (".pdf" added when missing).
    bool exportTo(QString path);
    /// Pages of the preview drawn so far (the others wait until they are scrolled to).
    int renderedPages() const;

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildPreview();
    void renderVisiblePages();
    void applyLayoutFields();
    void fieldsChanged();
    void chooseFont(PrintViewController::FontTarget target);
    void onExportClicked();
    void onPrintClicked();
    QString t(const char* key) const;

    UiContext& m_ctx;
    PrintViewController m_controller;
    QRadioButton* m_allRadio;
    QRadioButton* m_selectedRadio;
    QComboBox* m_folder;
    QCheckBox* m_subFolders;
    QComboBox* m_orderBy;
    QComboBox* m_direction;
    QList<QCheckBox*> m_fields;
    QLineEdit* m_title;
    QRadioButton* m_portrait;
    QRadioButton* m_landscape;
    QLineEdit* m_marginLeft;
    QLineEdit* m_marginRight;
    QLineEdit* m_marginTop;
    QLineEdit* m_marginBottom;
    QComboBox* m_zoom;
    QScrollArea* m_scroll;
    QWidget* m_pagesWidget;
    QVBoxLayout* m_pagesLayout;
    std::vector<QLabel*> m_pageLabels;
    std::vector<bool> m_rendered;
    QLabel* m_morePages = nullptr;
    /// Typing in the text fields lays the pages out once the typing pauses.
    QTimer* m_layoutTimer;
};

} // namespace keskor
