#include "tools/PDFPageView.h"

#include <QFontMetricsF>
#include <QPainter>
#include <algorithm>

namespace keskor {

namespace {

/// Space between a separator and the text beside it.
constexpr qreal kGap = 6.0;
/// The least content box margins may leave; larger margins shrink in proportion.
constexpr qreal kMinContent = 144.0;

qreal fitted(qreal a, qreal b, qreal room) {
    const qreal sum = a + b;
    return sum <= room ? a : (sum > 0 ? a * room / sum : 0);
}

} // namespace

PDFPageView::PDFPageView(const PDFOptions& options, QString databasePath, QString creationTime,
                         QString pageWord)
    : m_title(options.title), m_databasePath(std::move(databasePath)),
      m_creationTime(std::move(creationTime)), m_pageWord(std::move(pageWord)),
      m_titleFont(PDFOptions::inPageUnits(options.titleFont)), m_titleColor(options.titleFontColor),
      m_folderFont(PDFOptions::inPageUnits(options.folderFont)),
      m_folderColor(options.folderFontColor),
      m_footerFont(PDFOptions::inPageUnits(options.entryFont)),
      m_footerColor(options.entryFontColor), m_pageSize(options.pageSize()) {
    const QMarginsF m = options.marginsInPoints();
    const qreal roomX = std::max<qreal>(m_pageSize.width() - kMinContent, 0);
    const qreal roomY = std::max<qreal>(m_pageSize.height() - kMinContent, 0);
    const qreal left = fitted(m.left(), m.right(), roomX);
    const qreal right = fitted(m.right(), m.left(), roomX);
    const qreal top = fitted(m.top(), m.bottom(), roomY);
    const qreal bottom = fitted(m.bottom(), m.top(), roomY);
    m_content =
        QRectF(left, top, m_pageSize.width() - left - right, m_pageSize.height() - top - bottom);

    m_titleHeight = QFontMetricsF(m_titleFont).height();
    m_pathHeight =
        std::max(QFontMetricsF(m_folderFont).height(), QFontMetricsF(m_footerFont).height());
    m_topSeparator = m_content.top() + m_titleHeight + m_pathHeight + kGap;
    m_bottomSeparator = m_content.bottom() - QFontMetricsF(m_footerFont).height() - kGap;
}

qreal PDFPageView::usableHeight() const {
    return m_bottomSeparator - m_topSeparator - 2 * kGap;
}

void PDFPageView::addEntryView(std::shared_ptr<const PrintEntryView> view) {
    m_views.push_back(std::move(view));
}

void PDFPageView::setPageNumber(int number, int count) {
    m_number = number;
    m_count = count;
}

QString PDFPageView::pageLabel() const {
    return m_pageWord + u' ' + QString::number(m_number) + QStringLiteral(" of ") +
           QString::number(m_count);
}

void PDFPageView::paint(QPainter& painter) const {
    painter.save();
    const qreal left = m_content.left();
    const qreal width = m_content.width();
    constexpr int line = int(Qt::AlignVCenter) | int(Qt::TextSingleLine);

    painter.setFont(m_titleFont);
    painter.setPen(m_titleColor);
    painter.drawText(QRectF(left, m_content.top(), width, m_titleHeight), line | Qt::AlignLeft,
                     m_title);

    const QRectF pathRow(left, m_content.top() + m_titleHeight, width, m_pathHeight);
    painter.setFont(m_footerFont);
    painter.setPen(m_footerColor);
    const qreal timeWidth = QFontMetricsF(m_footerFont).horizontalAdvance(m_creationTime);
    painter.drawText(pathRow, line | Qt::AlignRight, m_creationTime);
    painter.setFont(m_folderFont);
    painter.setPen(m_folderColor);
    const QRectF pathRect = pathRow.adjusted(0, 0, -(timeWidth + 2 * kGap), 0);
    painter.drawText(
        pathRect, line | Qt::AlignLeft,
        QFontMetricsF(m_folderFont).elidedText(m_databasePath, Qt::ElideMiddle, pathRect.width()));

    QPen rule(m_footerColor);
    rule.setWidthF(0.5);
    painter.setPen(rule);
    painter.drawLine(QPointF(left, m_topSeparator), QPointF(left + width, m_topSeparator));
    painter.drawLine(QPointF(left, m_bottomSeparator), QPointF(left + width, m_bottomSeparator));

    painter.setFont(m_footerFont);
    painter.setPen(m_footerColor);
    painter.drawText(QRectF(left, m_bottomSeparator + kGap, width,
                            m_content.bottom() - m_bottomSeparator - kGap),
                     line | Qt::AlignHCenter, pageLabel());

    painter.setClipRect(QRectF(0, m_topSeparator + kGap / 2, m_pageSize.width(),
                               m_bottomSeparator - m_topSeparator - kGap),
                        Qt::IntersectClip);
    qreal y = m_topSeparator + kGap;
    for (const auto& view : m_views) {
        view->paint(painter, QPointF(left, y));
        y += view->height();
    }
    painter.restore();
}

} // namespace keskor
