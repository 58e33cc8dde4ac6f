#include "ui/CheckableEntryModel.h"

#include "core/shared/DateTimeHelper.h"
#include "core/shared/Info2Item.h"
#include "ui/EntryIcons.h"

#include <QHeaderView>
#include <QLocale>
#include <QTableView>

namespace keskor {

namespace {

/// Long values are cut for the table; the entry keeps them whole.
constexpr int kShownCharacters = 200;

QString dateText(double day) {
    if (day <= 1.0) {
        return {};
    }
    const auto wall = DateTimeHelper::parseDelphiWallClock(day);
    return wall ? QLocale().toString(wall->date, QLocale::ShortFormat) : QString();
}

/// The folders above the entry, outermost first.
QString pathOf(const Info2Item& item) {
    QStringList names;
    for (const Info2Item* p = item.parent(); p != nullptr && p->parent() != nullptr;
         p = p->parent()) {
        names.prepend(p->description().left(kShownCharacters));
    }
    return names.join(QStringLiteral(" / "));
}

} // namespace

CheckableEntryModel::CheckableEntryModel(TextLookup text, Toggle toggle, QObject* parent)
    : QAbstractTableModel(parent), m_text(std::move(text)), m_toggle(std::move(toggle)) {}

void CheckableEntryModel::setRows(const std::vector<std::shared_ptr<Info2Item>>& items,
                                  const QList<bool>& marked) {
    beginResetModel();
    m_items = items;
    m_marked = marked;
    endResetModel();
}

void CheckableEntryModel::setMarks(const QList<bool>& marked) {
    m_marked = marked;
    if (!m_items.empty()) {
        Q_EMIT dataChanged(index(0, Description), index(rowCount() - 1, Description),
                           {Qt::CheckStateRole});
    }
}

void CheckableEntryModel::refreshTexts() {
    if (!m_items.empty()) {
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
    }
}

int CheckableEntryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_items.size());
}

int CheckableEntryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CheckableEntryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const Info2Item& item = *m_items[std::size_t(index.row())];
    if (index.column() == Description) {
        if (role == Qt::CheckStateRole) {
            return m_marked.value(index.row()) ? Qt::Checked : Qt::Unchecked;
        }
        if (role == Qt::DecorationRole) {
            return EntryIcons::of(item);
        }
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) {
        return {};
    }
    switch (index.column()) {
    case Description:
        return item.description().left(kShownCharacters);
    case UserName:
        return item.userName().value_or(QString()).left(kShownCharacters);
    case Url:
        return item.url().value_or(QString()).left(kShownCharacters);
    case Path:
        return pathOf(item);
    case Modified:
        return dateText(item.lastModified);
    case Expires:
        return dateText(item.expiryDate);
    default:
        return {};
    }
}

bool CheckableEntryModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || index.column() != Description || role != Qt::CheckStateRole) {
        return false;
    }
    const bool marked = value.toInt() == Qt::Checked;
    if (m_toggle) {
        m_toggle(index.row(), marked);
    }
    return true;
}

Qt::ItemFlags CheckableEntryModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == Description) {
        flags |= Qt::ItemIsUserCheckable;
    }
    return flags;
}

QVariant CheckableEntryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    static const char* const keys[] = {"column_title", "column_username", "column_url",
                                       "folder_path",  "column_modified", "column_expires"};
    return section >= 0 && section < ColumnCount ? m_text(QString::fromLatin1(keys[section]))
                                                 : QVariant();
}

QTableView* CheckableEntryModel::createView(QWidget* parent) {
    auto* table = new QTableView(parent);
    table->setObjectName(QStringLiteral("resultTable"));
    table->setModel(this);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

} // namespace keskor
