#pragma once
// One printed entry: its name as a heading and one row per printed field, a label and its
// value. Built from the entry and the ticked fields, laid out for a width (values wrap), then
// painted in page units (points) wherever the page puts it.

#include "core/shared/Info2Item.h"
#include "tools/TextLookup.h"

#include <QColor>
#include <QFont>
#include <QList>
#include <QString>
#include <vector>

class QPainter;
class QPointF;

namespace keskor {

struct PrintEntryViewCell {
    QString name;
    QString value;
    bool operator==(const PrintEntryViewCell&) const = default;
};

class PrintEntryView {
public:
    /// `font` as the options hold it; it is converted to page units here.
    PrintEntryView(QString name, QList<PrintEntryViewCell> rows, const QFont& font,
                   const QColor& color);

    /// The view of an entry with a row for each ticked field (`printFields`), in the fixed row
    /// order, labels looked up through `text`.
    static PrintEntryView forEntry(const Info2Item& entry, const QList<int>& printFields,
                                   const TextLookup& text, const QFont& font, const QColor& color);
    /// The rows alone, for callers that only need the texts.
    static QList<PrintEntryViewCell> rowsFor(const Info2Item& entry, const QList<int>& printFields,
                                             const TextLookup& text);
    /// "MM/dd/yy"; empty for an unset day number.
    static QString formatDate(double dayNumber);

    const QString& name() const noexcept { return m_name; }
    const QList<PrintEntryViewCell>& rows() const noexcept { return m_rows; }

    /// Measures the view for `width` points and returns its height, spacing below included.
    qreal layout(qreal width);
    qreal height() const noexcept { return m_height; }
    qreal width() const noexcept { return m_width; }
    /// Paints the laid-out view with its top-left corner at `topLeft`.
    void paint(QPainter& painter, const QPointF& topLeft) const;

private:
    QString m_name;
    QList<PrintEntryViewCell> m_rows;
    QFont m_font;
    QFont m_headingFont;
    QColor m_color;
    qreal m_width = 0;
    qreal m_height = 0;
    qreal m_headingHeight = 0;
    qreal m_labelWidth = 0;
    std::vector<qreal> m_rowHeights;
};

} // namespace keskor
