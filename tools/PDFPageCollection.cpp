#include "tools/PDFPageCollection.h"

#include <QPainter>
#include <algorithm>
#include <memory>

namespace keskor {

PDFPageCollection::PDFPageCollection(const PDFPageView& prototype,
                                     std::vector<PrintEntryView> views) {
    const qreal usable = prototype.usableHeight();
    const qreal width = prototype.contentRect().width();
    PDFPageView page = prototype;
    bool pageHasViews = false;
    qreal running = 0;
    for (PrintEntryView& view : views) {
        const qreal height = view.layout(width);
        // Closing a page that holds nothing would leave it blank: an entry too tall for any
        // page is put on the current page all the same.
        if (usable < running + height && pageHasViews) {
            m_pages.push_back(page);
            page = prototype;
            running = 0;
        }
        page.addEntryView(std::make_shared<const PrintEntryView>(std::move(view)));
        pageHasViews = true;
        running += height;
    }
    m_pages.push_back(page);
    const int total = count();
    for (int i = 0; i < total; ++i) {
        m_pages[std::size_t(i)].setPageNumber(i + 1, total);
    }
}

void PDFPageCollection::paintPage(int index, QPainter& painter) const {
    if (index >= 0 && index < count()) {
        m_pages[std::size_t(index)].paint(painter);
    }
}

bool PDFPageCollection::paintTo(QPagedPaintDevice& device) const {
    QPainter painter;
    if (!painter.begin(&device)) {
        return false;
    }
    for (int i = 0; i < count(); ++i) {
        if (i > 0 && !device.newPage()) {
            painter.end();
            return false;
        }
        const QSizeF page = m_pages[std::size_t(i)].pageSize();
        const qreal scale =
            std::min(device.width() / page.width(), device.height() / page.height());
        painter.save();
        // A printer's page may differ a little from ours: the page is centred on it.
        painter.translate((device.width() - page.width() * scale) / 2,
                          (device.height() - page.height() * scale) / 2);
        painter.scale(scale, scale);
        paintPage(i, painter);
        painter.restore();
    }
    return painter.end();
}

} // namespace keskor
