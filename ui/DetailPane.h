#pragma once
// The detail pane beside the entry list: the selected entry's fields as its kind names them,
// the password hidden until asked for, and a copy button for each value. Copies go through the
// clipboard helper, which clears them again.

#include <QWidget>
#include <memory>

class QFormLayout;
class QLabel;

namespace keskor {

class Info2Item;
struct UiContext;

class DetailPane : public QWidget {
    Q_OBJECT
public:
    explicit DetailPane(UiContext& ctx, QWidget* parent = nullptr);

    void setEntry(std::shared_ptr<Info2Item> entry);
    const std::shared_ptr<Info2Item>& entry() const noexcept { return m_entry; }

private:
    void rebuild();
    void addRow(const QString& label, const QString& value, bool secret);

    UiContext& m_ctx;
    std::shared_ptr<Info2Item> m_entry;
    QLabel* m_title;
    QFormLayout* m_form;
    bool m_revealed = false;
};

} // namespace keskor
