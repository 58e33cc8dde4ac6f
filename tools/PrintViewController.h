#pragma once
// The logic of the print dialog without its widgets: it holds the options, gathers the entries
// they name, lays them out as pages and rebuilds the pages after every change, renders a page
// for the preview, and writes the pages as a PDF file (atomically, readable by the owner only)
// or paints them onto a printer the dialog set up. Failures are reported through the presenter.

#include "core/shared/PassFile.h"
#include "platform/Clock.h"
#include "platform/Presenter.h"
#include "tools/FolderSelectMenuItem.h"
#include "tools/PDFOptions.h"
#include "tools/PDFPageCollection.h"
#include "tools/TextLookup.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QPagedPaintDevice;

namespace keskor {

/// The dialog's text fields that shape the page: the title and the four margins in mm.
struct PrintLayoutFields {
    QString title;
    QString marginLeft;
    QString marginRight;
    QString marginTop;
    QString marginBottom;
};

class PrintViewController {
public:
    using DatabaseAccess = std::function<const PassFile*()>;
    using Items = std::vector<std::shared_ptr<Info2Item>>;
    enum class FontTarget : int { title = 0, folder, entry };

    static constexpr double kMinZoom = 0.25;
    static constexpr double kMaxZoom = 4.0;

    /// What the dialog says above Export: the PDF file, like the printed pages, is not
    /// encrypted.
    static UiText unencryptedWarning();

    /// `databasePath` is what the page header shows; `options` the initial record.
    PrintViewController(Presenter& presenter, TextLookup text, const Clock& clock,
                        DatabaseAccess database, QString databasePath, PDFOptions options);

    const PDFOptions& options() const noexcept { return m_options; }
    const PDFPageCollection& pages() const noexcept { return m_pages; }
    /// The entries the pages show, in print order.
    const Items& entries() const noexcept { return m_entries; }
    double zoom() const noexcept { return m_zoom; }
    bool closeRequested() const noexcept { return m_closeRequested; }

    /// The folder pop-up: the database's top level, then every folder depth first.
    QList<FolderSelectMenuItem> folderPopup() const;
    /// A margin field read as a decimal integer; 0 when empty or not a number.
    static int marginFromField(const QString& field);
    /// The entries of the folder (and its sub-folders), outside the trash.
    static Items collect(const Info2Item& folder, bool includeSubFolders);
    /// Orders as the options say; equal keys keep their order.
    static void sort(Items& items, PrintSortKey key, PrintOrderDirection direction);

    // Dialog actions; each rebuilds the pages.
    void onPasswordForAllOrFolder(bool isAll);
    /// Null selects the database's top level.
    void onSelectFolder(const Info2Item* folder);
    void onIncludeSubFolders(bool include);
    void onOrderByPopup(PrintSortKey key);
    void onDirectionPopup(PrintOrderDirection direction);
    /// The ticked field numbers, in any order; numbers outside 0 to 15 are ignored.
    void onPrintFieldsChange(const QList<int>& fields);
    /// 0 portrait, anything else landscape.
    void onOrientation(int orientation);
    void onChangeFont(FontTarget target, const QFont& font, const QColor& color);
    /// The title and margin fields; an empty title keeps the current one.
    void onLayout(const PrintLayoutFields& fields);
    void onRefresh();
    /// Clamped to kMinZoom..kMaxZoom; does not change the pages.
    void onZoom(double zoom);
    /// Writes the PDF document to `path`; false, after an alert, when it cannot.
    bool onExport(const QString& path);
    /// Paints the document onto a printer the dialog prepared; its page layout is set here.
    bool onPrint(QPagedPaintDevice& printer);
    void onCancel() { m_closeRequested = true; }

    /// The PDF document as bytes; throws CommonException when it cannot be made.
    QByteArray pdfDocument() const;
    /// Page `index` drawn at `scale` pixels per point (1 = 72 dpi), for the preview.
    QImage renderPage(int index, double scale) const;

private:
    void rebuild();
    Items gather() const;
    void fail(const QString& message);

    Presenter& m_presenter;
    TextLookup m_text;
    const Clock& m_clock;
    DatabaseAccess m_database;
    QString m_databasePath;
    PDFOptions m_options;
    Items m_entries;
    PDFPageCollection m_pages;
    double m_zoom = 1.0;
    bool m_closeRequested = false;
};

} // namespace keskor
