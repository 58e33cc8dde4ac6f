#pragma once
// The rows of the password analysis as a table: importance, entry, entropy, the strength bar,
// the crack time and, once checked, how often the password occurs in known breaches. The rows
// are the controller's; breach counts are kept by password digest, so they stay right when the
// list is sorted or built again after an edit.

#include "tools/BreachCheck.h"
#include "tools/TextLookup.h"

#include <QAbstractTableModel>
#include <QStringList>

namespace keskor {

class AnalyzeViewController;

class AnalyzeTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Importance, Description, Entropy, Quality, CrackTime, Breached, ColumnCount };

    AnalyzeTableModel(AnalyzeViewController& controller, TextLookup text,
                      QObject* parent = nullptr);

    /// The controller's rows changed (reload, sort).
    void rowsChanged();
    /// The digest of every row's password, in row order.
    const QStringList& digests() const noexcept { return m_digests; }
    void setBreachCounts(const BreachCheck::Counts& counts);

    /// The controller's sort key of a column; empty for a column it does not sort.
    static QString sortKey(int column);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    void sort(int column, Qt::SortOrder order) override;

private:
    AnalyzeViewController& m_controller;
    TextLookup m_text;
    QStringList m_digests;
    BreachCheck::Counts m_counts;
};

} // namespace keskor
