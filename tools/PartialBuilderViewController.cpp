#include "tools/PartialBuilderViewController.h"

#include "tools/PasswordHelper.h"

namespace keskor {

PartialBuilderViewController::PartialBuilderViewController(const QString& password,
                                                           CopyCallback copy)
    : m_passArray(PasswordHelper::characters(password)), m_copy(std::move(copy)) {
    m_cells.reserve(m_passArray.size());
    for (qsizetype i = 0; i < m_passArray.size(); ++i) {
        m_cells.append(PartialBuilderCell{static_cast<int>(i) + 1, QString(), false});
    }
    relabel();
}

void PartialBuilderViewController::setChecked(int index, bool checked) {
    if (index < 0 || index >= m_cells.size()) {
        return;
    }
    m_cells[index].checked = checked;
    m_partial.clear();
    for (qsizetype i = 0; i < m_cells.size(); ++i) {
        if (m_cells.at(i).checked) {
            m_partial += m_passArray.at(i);
        }
    }
}

void PartialBuilderViewController::setVisible(bool visible) {
    m_isVisible = visible;
    relabel();
}

void PartialBuilderViewController::relabel() {
    for (qsizetype i = 0; i < m_cells.size(); ++i) {
        m_cells[i].label = m_isVisible ? m_passArray.at(i) : QStringLiteral("•");
    }
}

void PartialBuilderViewController::onCopyToClipboard() {
    if (m_copy) {
        m_copy(m_partial);
    }
    m_closed = true;
}

} // namespace keskor
