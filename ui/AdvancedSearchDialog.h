#pragma once
// The advanced search: a text looked for in chosen fields of every entry below the selected
// folder, case as asked; choosing a result shows it in the main window.

#include <QDialog>
#include <functional>

class QCheckBox;
class QLineEdit;
class QTreeWidget;

namespace keskor {

class Info2Item;
struct UiContext;

class AdvancedSearchDialog : public QDialog {
    Q_OBJECT
public:
    using Choose = std::function<void(const Info2Item& entry)>;
    AdvancedSearchDialog(UiContext& ctx, Choose choose, QWidget* parent = nullptr);

    void find();

private:
    UiContext& m_ctx;
    Choose m_choose;
    QLineEdit* m_query;
    QCheckBox* m_description;
    QCheckBox* m_user;
    QCheckBox* m_password;
    QCheckBox* m_custom;
    QCheckBox* m_url;
    QCheckBox* m_comments;
    QCheckBox* m_matchCase;
    QTreeWidget* m_results;
};

} // namespace keskor
