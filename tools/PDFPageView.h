#pragma once
// One printed page: a header with the title, the database's path and the time the document was
// made, a separator, the entry views stacked from the top, a second separator and the page
// label in the footer. Geometry and painting are in points; the caller scales the painter to
// its device, so the preview, the PDF file and the printer share this painting.

#include "tools/PDFOptions.h"
#include "tools/PrintEntryView.h"

#include <QRectF>
#include <QString>
#include <memory>
#include <vector>

class QPainter;

namespace keskor {

class PDFPageView {
public:
    /// `pageWord` is the localised "page" of the footer.
    PDFPageView(const PDFOptions& options, QString databasePath, QString creationTime,
                QString pageWord);

    QSizeF pageSize() const noexcept { return m_pageSize; }
    /// The page inside its margins.
    QRectF contentRect() const noexcept { return m_content; }
    qreal topSeparatorY() const noexcept { return m_topSeparator; }
    qreal bottomSeparatorY() const noexcept { return m_bottomSeparator; }
    /// What the entry views may fill: the distance between the separators less their gaps.
    qreal usableHeight() const;

    void addEntryView(std::shared_ptr<const PrintEntryView> view);
    const std::vector<std::shared_ptr<const PrintEntryView>>& entryViews() const noexcept {
        return m_views;
    }
    void setPageNumber(int number, int count);
    /// "<page> 2 of 3".
    QString pageLabel() const;
    const QString& title() const noexcept { return m_title; }

    /// Paints the whole page in points, its top-left corner at the painter's origin. An entry
    /// taller than the usable height is cut at the bottom separator.
    void paint(QPainter& painter) const;

private:
    QString m_title;
    QString m_databasePath;
    QString m_creationTime;
    QString m_pageWord;
    QFont m_titleFont;
    QColor m_titleColor;
    QFont m_folderFont;
    QColor m_folderColor;
    QFont m_footerFont;
    QColor m_footerColor;
    QSizeF m_pageSize;
    QRectF m_content;
    qreal m_titleHeight = 0;
    qreal m_pathHeight = 0;
    qreal m_topSeparator = 0;
    qreal m_bottomSeparator = 0;
    int m_number = 1;
    int m_count = 1;
    std::vector<std::shared_ptr<const PrintEntryView>> m_views;
};

} // namespace keskor
