#pragma once
// The entry list of the main window as a table model over the entries the browser selected:
// no widget and no copy per row, so 100,000 entries show and sort at once.

#include "core/EntryBrowser.h"

#include <QAbstractTableModel>

namespace keskor {

class Localizer;

class EntryListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit EntryListModel(const Localizer& localizer, QObject* parent = nullptr);

    /// Shows the items in the model's sort order; `presorted` says they already are in it.
    void setItems(EntryBrowser::Items items, bool presorted = false);
    /// Puts items into the order the list is sorted by.
    void sortLikeList(EntryBrowser::Items& items) const;
    const EntryBrowser::Items& items() const noexcept { return m_items; }
    std::shared_ptr<Info2Item> itemAt(int row) const;
    /// The row of an entry, or -1.
    int rowOf(const Info2Item* item) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

private:
    const Localizer& m_localizer;
    EntryBrowser::Items m_items;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

} // namespace keskor
