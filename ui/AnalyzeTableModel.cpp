#include "ui/AnalyzeTableModel.h"

#include "core/shared/Info2Item.h"
#include "core/shared/SecureBytes.h"
#include "tools/AnalyzeViewController.h"
#include "tools/PwnedPasswordsClient.h"
#include "ui/EntryIcons.h"

#include <QColor>
#include <QPainter>
#include <QPixmap>
#include <algorithm>

namespace keskor {

namespace {

/// The strength bar as a small picture for the quality cell.
QPixmap barPixmap(const StrengthBar& bar) {
    QPixmap pixmap(80, 10);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QColor(128, 128, 128));
    painter.drawRect(0, 0, 79, 9);
    const double share = bar.maxValue > 0 ? std::clamp(bar.value / bar.maxValue, 0.0, 1.0) : 0.0;
    painter.fillRect(1, 1, int(78 * share), 8,
                     QColor::fromRgbF(float(std::clamp(bar.red, 0.0, 1.0)),
                                      float(std::clamp(bar.green, 0.0, 1.0)),
                                      float(std::clamp(bar.blue, 0.0, 1.0))));
    return pixmap;
}

} // namespace

AnalyzeTableModel::AnalyzeTableModel(AnalyzeViewController& controller, TextLookup text,
                                     QObject* parent)
    : QAbstractTableModel(parent), m_controller(controller), m_text(std::move(text)) {}

void AnalyzeTableModel::rowsChanged() {
    beginResetModel();
    m_digests.clear();
    for (const AnalyzeRow& row : m_controller.rows()) {
        QString password = row.item->password().value_or(QString());
        m_digests.append(PwnedPasswordsClient::digestText(password));
        secureWipe(password);
    }
    endResetModel();
}

void AnalyzeTableModel::setBreachCounts(const BreachCheck::Counts& counts) {
    m_counts = counts;
    if (rowCount() > 0) {
        Q_EMIT dataChanged(index(0, Breached), index(rowCount() - 1, Breached));
    }
}

QString AnalyzeTableModel::sortKey(int column) {
    switch (column) {
    case Importance:
        return QStringLiteral("importance");
    case Description:
        return QStringLiteral("description");
    case Entropy:
        return QStringLiteral("entropy");
    case Quality:
        return QStringLiteral("quality");
    case CrackTime:
        return QStringLiteral("cracktime");
    default:
        return {};
    }
}

int AnalyzeTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_controller.rows().size());
}

int AnalyzeTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant AnalyzeTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const AnalyzeRow& row = m_controller.rows()[std::size_t(index.row())];
    switch (index.column()) {
    case Importance:
        if (role == Qt::DisplayRole && !row.importanceImage.isEmpty()) {
            return m_text(row.importanceImage);
        }
        break;
    case Description:
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
            return row.description.left(200);
        }
        if (role == Qt::DecorationRole) {
            return EntryIcons::of(*row.item);
        }
        break;
    case Entropy:
        if (role == Qt::DisplayRole) {
            return row.entropyText;
        }
        break;
    case Quality:
        if (role == Qt::DecorationRole) {
            return barPixmap(row.quality);
        }
        if (role == Qt::ToolTipRole) {
            return QString::number(qRound(row.quality.value));
        }
        break;
    case CrackTime:
        if (role == Qt::DisplayRole) {
            return row.crackTimeText.trimmed();
        }
        break;
    case Breached:
        if (role == Qt::DisplayRole) {
            const auto found = m_counts.constFind(m_digests.value(index.row()));
            if (found == m_counts.constEnd()) {
                return QString();
            }
            return found.value() > 0 ? QString::number(found.value())
                                     : m_text(QStringLiteral("analyze_not_breached"));
        }
        if (role == Qt::ForegroundRole && m_counts.value(m_digests.value(index.row())) > 0) {
            return QColor(Qt::red);
        }
        break;
    default:
        break;
    }
    return {};
}

QVariant AnalyzeTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    static const char* const keys[] = {"importance",    "column_title",       "entropy",
                                       "pass_strength", "analyze_crack_time", "analyze_breached"};
    return section >= 0 && section < ColumnCount ? m_text(QString::fromLatin1(keys[section]))
                                                 : QVariant();
}

void AnalyzeTableModel::sort(int column, Qt::SortOrder order) {
    const QString key = sortKey(column);
    if (key.isEmpty()) {
        return;
    }
    m_controller.sort(key, order == Qt::AscendingOrder);
    rowsChanged();
}

} // namespace keskor
