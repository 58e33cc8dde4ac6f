#pragma once
// The logic of the partial-password builder without its widgets: one cell per character of a
// password, and the characters whose box is ticked joined in position order.

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace keskor {

struct PartialBuilderCell {
    /// 1-based position in the password.
    int position = 0;
    /// The character, or "•" while the builder is not in visible mode.
    QString label;
    bool checked = false;
};

class PartialBuilderViewController {
public:
    using CopyCallback = std::function<void(const QString& partial)>;
    static constexpr int kCellHeight = 35;

    PartialBuilderViewController(const QString& password, CopyCallback copy);

    const QStringList& passArray() const noexcept { return m_passArray; }
    const QList<PartialBuilderCell>& cells() const noexcept { return m_cells; }
    int containerHeight() const { return static_cast<int>(m_cells.size()) * kCellHeight; }
    /// Shown in the secure and the plain field alike.
    const QString& partialPassword() const noexcept { return m_partial; }
    bool isVisible() const noexcept { return m_isVisible; }
    bool isClosed() const noexcept { return m_closed; }

    /// A cell's box changed (index 0-based); out-of-range indices are ignored.
    void setChecked(int index, bool checked);
    void setVisible(bool visible);
    void onCopyToClipboard();
    void onCancel() { m_closed = true; }

private:
    void relabel();

    QStringList m_passArray;
    QList<PartialBuilderCell> m_cells;
    QString m_partial;
    CopyCallback m_copy;
    bool m_isVisible = false;
    bool m_closed = false;
};

} // namespace keskor
