#include "tools/PrintEntryView.h"

#include "core/EntryKinds.h"
#include "core/shared/DateTimeHelper.h"
#include "tools/PDFOptions.h"

#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <algorithm>

namespace keskor {

namespace {

constexpr int kWrap = Qt::TextWordWrap | Qt::TextWrapAnywhere;
/// The label column takes at most this share of the width; longer labels wrap.
constexpr qreal kMaxLabelShare = 0.4;
constexpr qreal kColumnGap = 8.0;

QString valueOf(const Info2Item& entry, ItemText field) {
    const std::optional<QString> value = entry.text(field);
    return value ? *value : QString();
}

QString importanceText(int importance, const TextLookup& text) {
    if (importance > 1) {
        return text(QStringLiteral("high"));
    }
    if (importance < 1) {
        return text(QStringLiteral("low"));
    }
    return text(QStringLiteral("normal"));
}

} // namespace

PrintEntryView::PrintEntryView(QString name, QList<PrintEntryViewCell> rows, const QFont& font,
                               const QColor& color)
    : m_name(std::move(name)), m_rows(std::move(rows)), m_font(PDFOptions::inPageUnits(font)),
      m_headingFont(m_font), m_color(color) {
    m_headingFont.setBold(true);
}

QString PrintEntryView::formatDate(double dayNumber) {
    if (dayNumber == 0.0) {
        return {};
    }
    const auto wall = DateTimeHelper::parseDelphiWallClock(dayNumber);
    return wall ? wall->date.toString(QStringLiteral("MM/dd/yy")) : QString();
}

QList<PrintEntryViewCell> PrintEntryView::rowsFor(const Info2Item& entry,
                                                  const QList<int>& printFields,
                                                  const TextLookup& text) {
    const auto ticked = [&](PrintField field) {
        return printFields.contains(static_cast<int>(field));
    };
    QList<PrintEntryViewCell> rows;
    const auto row = [&](PrintField field, const char* key, const QString& value) {
        if (ticked(field)) {
            rows.append({text(QLatin1String(key)) + u':', value});
        }
    };
    row(PrintField::type, "type", text(EntryKinds::ofRaw(entry.type).nameKey));
    row(PrintField::username, "username", valueOf(entry, ItemText::UserName));
    row(PrintField::password, "password", valueOf(entry, ItemText::Password));
    row(PrintField::url, "url", valueOf(entry, ItemText::Url));
    row(PrintField::lastModified, "last_modified", formatDate(entry.lastModified));
    row(PrintField::lastAccessed, "last_accessed", formatDate(entry.lastAccessed));
    row(PrintField::expiryDate, "expiry_date", formatDate(entry.expiryDate));
    row(PrintField::importance, "importance", importanceText(entry.importance, text));
    row(PrintField::category, "category", valueOf(entry, ItemText::Category));
    row(PrintField::tags, "tags", valueOf(entry, ItemText::Tags));
    row(PrintField::comment, "comments", valueOf(entry, ItemText::Comment));
    if (ticked(PrintField::customFields)) {
        for (const PswField& field : entry.customFields()) {
            rows.append({QStringLiteral("Name:"), field.name});
            // The web-form input the field fills, when it is bound to one.
            if (!field.inputId.isEmpty()) {
                rows.append({QStringLiteral("Custom Field:"), field.inputId});
            }
            rows.append({QStringLiteral("Value:"), field.value});
        }
    }
    if (ticked(PrintField::tans)) {
        for (const TanItem& tan : entry.tans()) {
            rows.append({QStringLiteral("Number:"), tan.number});
            rows.append({QStringLiteral("TAN:"), tan.value});
            rows.append({QStringLiteral("Amount:"), QLocale::c().toString(tan.amount, 'f', 2)});
            rows.append({QStringLiteral("Comment:"), tan.comment});
            rows.append({QStringLiteral("Confirmation Code:"), tan.ccode});
        }
    }
    if (ticked(PrintField::attachments)) {
        for (const Attachment& attachment : entry.attachments()) {
            rows.append({QStringLiteral("Name:"), attachment.fileName});
            rows.append({QStringLiteral("FileName:"), attachment.originalPath});
            rows.append({QStringLiteral("Attachemnt:"),
                         QLocale::system().formattedDataSize(attachment.data.size())});
        }
    }
    return rows;
}

PrintEntryView PrintEntryView::forEntry(const Info2Item& entry, const QList<int>& printFields,
                                        const TextLookup& text, const QFont& font,
                                        const QColor& color) {
    return PrintEntryView(entry.description(), rowsFor(entry, printFields, text), font, color);
}

qreal PrintEntryView::layout(qreal width) {
    m_width = std::max<qreal>(width, 1.0);
    const QFontMetricsF metrics(m_font);
    const QFontMetricsF heading(m_headingFont);
    const auto wrapped = [](const QFontMetricsF& fm, qreal w, const QString& s) {
        // An empty value still takes its line, so label and value stay aligned. Most values
        // are one short line, measured far faster without the wrapping layout.
        if (!s.contains(u'\n') && fm.horizontalAdvance(s) <= w) {
            return fm.height();
        }
        return std::max(fm.height(), fm.boundingRect(QRectF(0, 0, w, 1e9), kWrap, s).height());
    };
    m_headingHeight = wrapped(heading, m_width, m_name);
    qreal widest = 0;
    for (const PrintEntryViewCell& cell : m_rows) {
        widest = std::max(widest, metrics.horizontalAdvance(cell.name));
    }
    m_labelWidth = std::min(widest, m_width * kMaxLabelShare);
    const qreal valueWidth = std::max<qreal>(m_width - m_labelWidth - kColumnGap, 1.0);
    m_rowHeights.clear();
    qreal height = m_headingHeight + metrics.leading();
    for (const PrintEntryViewCell& cell : m_rows) {
        const qreal h = std::max(wrapped(metrics, m_labelWidth, cell.name),
                                 wrapped(metrics, valueWidth, cell.value));
        m_rowHeights.push_back(h);
        height += h;
    }
    // Room between this entry and the next.
    m_height = height + metrics.height();
    return m_height;
}

void PrintEntryView::paint(QPainter& painter, const QPointF& topLeft) const {
    painter.save();
    painter.setPen(m_color);
    painter.setFont(m_headingFont);
    painter.drawText(QRectF(topLeft.x(), topLeft.y(), m_width, m_headingHeight), kWrap, m_name);
    painter.setFont(m_font);
    const QFontMetricsF metrics(m_font);
    qreal y = topLeft.y() + m_headingHeight + metrics.leading();
    const qreal valueX = topLeft.x() + m_labelWidth + kColumnGap;
    const qreal valueWidth = std::max<qreal>(m_width - m_labelWidth - kColumnGap, 1.0);
    for (qsizetype i = 0; i < m_rows.size() && i < qsizetype(m_rowHeights.size()); ++i) {
        const qreal h = m_rowHeights[std::size_t(i)];
        painter.drawText(QRectF(topLeft.x(), y, m_labelWidth, h), kWrap, m_rows[i].name);
        painter.drawText(QRectF(valueX, y, valueWidth, h), kWrap, m_rows[i].value);
        y += h;
    }
    painter.restore();
}

} // namespace keskor
