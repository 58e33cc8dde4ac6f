#pragma once
// Lists the entries that share a password, group by group; choosing one shows it in the main
// window so its password can be changed.

#include <QDialog>
#include <functional>

namespace keskor {

class Info2Item;
struct UiContext;

class DuplicatesDialog : public QDialog {
    Q_OBJECT
public:
    using Choose = std::function<void(const Info2Item& entry)>;
    DuplicatesDialog(UiContext& ctx, Choose choose, QWidget* parent = nullptr);
};

} // namespace keskor
