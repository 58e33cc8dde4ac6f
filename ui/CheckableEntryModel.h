#pragma once
// The result list of the clean-up and find-and-replace dialogs: one row per found entry, with
// the row's check box in the first column. The marks belong to the dialog's controller: a
// click is handed to it, and the dialog sets the marks it hands back.

#include "tools/TextLookup.h"

#include <QAbstractTableModel>
#include <QList>

class QTableView;
class QWidget;
#include <functional>
#include <memory>
#include <vector>

namespace keskor {

class Info2Item;

class CheckableEntryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Description, UserName, Url, Path, Modified, Expires, ColumnCount };
    using Toggle = std::function<void(int row, bool marked)>;

    CheckableEntryModel(TextLookup text, Toggle toggle, QObject* parent = nullptr);

    void setRows(const std::vector<std::shared_ptr<Info2Item>>& items, const QList<bool>& marked);
    /// New marks for the same rows.
    void setMarks(const QList<bool>& marked);
    /// The rows' texts changed (a replacement), the rows did not.
    void refreshTexts();
    /// The result table the dialogs show this model in.
    QTableView* createView(QWidget* parent);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    TextLookup m_text;
    Toggle m_toggle;
    std::vector<std::shared_ptr<Info2Item>> m_items;
    QList<bool> m_marked;
};

} // namespace keskor
