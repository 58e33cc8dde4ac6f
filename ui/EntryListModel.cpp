#include "ui/EntryListModel.h"

#include "core/EntryKinds.h"
#include "core/Localizer.h"
#include "core/shared/DateTimeHelper.h"
#include "ui/EntryIcons.h"

namespace keskor {

namespace {

QString dateText(double day) {
    if (day <= 1.0) {
        return {};
    }
    const std::optional<DateTimeHelper::WallClock> wall = DateTimeHelper::parseDelphiWallClock(day);
    return wall ? QLocale().toString(wall->date, QLocale::ShortFormat) : QString();
}

} // namespace

EntryListModel::EntryListModel(const Localizer& localizer, QObject* parent)
    : QAbstractTableModel(parent), m_localizer(localizer) {}

void EntryListModel::setItems(EntryBrowser::Items items, bool presorted) {
    beginResetModel();
    m_items = std::move(items);
    if (!presorted) {
        sortLikeList(m_items);
    }
    endResetModel();
}

void EntryListModel::sortLikeList(EntryBrowser::Items& items) const {
    if (m_sortColumn >= 0) {
        EntryBrowser::sort(items, EntryBrowser::Column(m_sortColumn),
                           m_sortOrder == Qt::AscendingOrder);
    }
}

std::shared_ptr<Info2Item> EntryListModel::itemAt(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= m_items.size()) {
        return nullptr;
    }
    return m_items[static_cast<std::size_t>(row)];
}

int EntryListModel::rowOf(const Info2Item* item) const {
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i].get() == item) {
            return int(i);
        }
    }
    return -1;
}

int EntryListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_items.size());
}

int EntryListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(EntryBrowser::Column::Count);
}

QVariant EntryListModel::data(const QModelIndex& index, int role) const {
    const std::shared_ptr<Info2Item> item = itemAt(index.row());
    if (!item) {
        return {};
    }
    const auto column = EntryBrowser::Column(index.column());
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        const auto text = [&](ItemText field) {
            const std::optional<QString> value = item->text(field);
            // A field of a megabyte would only stall the row's drawing.
            return value ? value->left(512) : QString();
        };
        switch (column) {
        case EntryBrowser::Column::Description:
            return item->description().left(512);
        case EntryBrowser::Column::UserName:
            return text(ItemText::UserName);
        case EntryBrowser::Column::Url:
            return text(ItemText::Url);
        case EntryBrowser::Column::Modified:
            return dateText(item->lastModified);
        case EntryBrowser::Column::Expiry:
            return dateText(item->expiryDate);
        case EntryBrowser::Column::Count:
            break;
        }
    } else if (role == Qt::DecorationRole && column == EntryBrowser::Column::Description) {
        return EntryIcons::of(*item);
    } else if (role == Qt::UserRole) {
        return item->fingerprint();
    }
    return {};
}

QVariant EntryListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    static const char* const keys[] = {"column_title", "column_username", "column_url",
                                       "column_modified", "column_expires"};
    if (section < 0 || section >= int(EntryBrowser::Column::Count)) {
        return {};
    }
    return m_localizer.text(QString::fromLatin1(keys[section]));
}

void EntryListModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= int(EntryBrowser::Column::Count)) {
        return;
    }
    m_sortColumn = column;
    m_sortOrder = order;
    Q_EMIT layoutAboutToBeChanged();
    EntryBrowser::sort(m_items, EntryBrowser::Column(column), order == Qt::AscendingOrder);
    Q_EMIT layoutChanged();
}

} // namespace keskor
