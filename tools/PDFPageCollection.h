#pragma once
// Turns entry views into pages: each view is laid out for the page's content width and the
// views are stacked page by page while they fit between the separators. A view taller than a
// whole page gets a page of its own and is cut there; no page is ever left empty, except the
// single page of a document without entries.

#include "tools/PDFPageView.h"
#include "tools/PrintEntryView.h"

#include <QPagedPaintDevice>
#include <QString>
#include <vector>

class QPainter;

namespace keskor {

class PDFPageCollection {
public:
    PDFPageCollection() = default;
    /// Pages made from copies of `prototype` (its header, geometry and fonts).
    PDFPageCollection(const PDFPageView& prototype, std::vector<PrintEntryView> views);

    const std::vector<PDFPageView>& pages() const noexcept { return m_pages; }
    int count() const noexcept { return int(m_pages.size()); }

    /// Paints every page onto `device`, one page each, scaled from points to the device's
    /// paint rectangle and centred on it. False when the painter cannot start on the device.
    bool paintTo(QPagedPaintDevice& device) const;
    /// Paints page `index` in points onto a painter already scaled to its device.
    void paintPage(int index, QPainter& painter) const;

private:
    std::vector<PDFPageView> m_pages;
};

} // namespace keskor
