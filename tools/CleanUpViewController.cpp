#include "tools/CleanUpViewController.h"

#include "core/shared/RightsHelper.h"
#include "tools/CleanUpSearch.h"

namespace keskor {

CleanUpViewController::CleanUpViewController(Presenter& presenter, TextLookup text,
                                             DatabaseAccess database, SaveCallback save)
    : m_presenter(presenter), m_text(std::move(text)), m_database(std::move(database)),
      m_save(std::move(save)) {}

CleanUpSearchOptions CleanUpViewController::buildOptions(const CleanUpCriteria& criteria) {
    CleanUpSearchOptions options;
    if (criteria.showExpiredBeforeCheck) {
        options.expiresBefore = criteria.expireBeforeDatepicker;
    }
    if (criteria.withAttachmentBiggerCheck) {
        bool ok = false;
        const qint64 size = criteria.attachmentSizeField.trimmed().toLongLong(&ok, 10);
        options.withAttachmentBigger = ok ? size : kDefaultAttachmentSize;
    }
    if (criteria.notUsedAfterCheck) {
        options.notUsedAfter = criteria.notUsedAfterDatePicker;
    }
    options.neverUsedEntries = criteria.neverUsedCheck;
    options.withHistory = criteria.withHistoryCheck;
    options.withCustomIcons = criteria.withCustomIconCheck;
    options.searchOperator = criteria.radioOR ? SearchOperator::OR : SearchOperator::AND;
    return options;
}

const CleanUpViewState& CleanUpViewController::search(const CleanUpCriteria& criteria) {
    m_criteria = criteria;
    refresh();
    return m_state;
}

void CleanUpViewController::refresh() {
    m_state.resultArray.clear();
    m_state.marked.clear();
    m_state.descriptionLabel.clear();
    const PassFile* file = m_database ? m_database() : nullptr;
    if (file == nullptr) {
        return;
    }
    m_state.resultArray = CleanUpSearch::search(*file, buildOptions(m_criteria));
    m_state.marked = QList<bool>(static_cast<qsizetype>(m_state.resultArray.size()), true);
    // The total is the number of items the search visited, folders included.
    m_state.descriptionLabel = m_text(QStringLiteral("matched_passwords")) + u' ' +
                               QString::number(m_state.resultArray.size()) + u' ' +
                               m_text(QStringLiteral("of_total")) + u' ' +
                               QString::number(file->itemCount());
}

void CleanUpViewController::setMarked(int row, bool marked) {
    if (row >= 0 && row < m_state.marked.size()) {
        m_state.marked[row] = marked;
    }
}

void CleanUpViewController::onORANDRadio(bool radioOR) {
    m_criteria.radioOR = radioOR;
    refresh();
}

void CleanUpViewController::onDeleteAttachment() {
    perform(Action::DeleteAttachment);
}

void CleanUpViewController::onResetIcon() {
    perform(Action::ResetIcon);
}

void CleanUpViewController::onDeleteEntry() {
    perform(Action::DeleteEntry);
}

std::vector<std::shared_ptr<Info2Item>> CleanUpViewController::markedEntries() const {
    std::vector<std::shared_ptr<Info2Item>> entries;
    for (std::size_t i = 0; i < m_state.resultArray.size(); ++i) {
        if (m_state.marked.value(static_cast<qsizetype>(i))) {
            entries.push_back(m_state.resultArray[i]);
        }
    }
    return entries;
}

bool CleanUpViewController::mayChange(
    const PassFile& file, Action action,
    const std::vector<std::shared_ptr<Info2Item>>& entries) const {
    if (action == Action::DeleteEntry) {
        return RightsHelper::checkDeleteRights(file, entries);
    }
    for (const auto& entry : entries) {
        if (!RightsHelper::checkModifyRights(file, *entry)) {
            return false;
        }
    }
    return true;
}

void CleanUpViewController::perform(Action action) {
    PassFile* file = m_database ? m_database() : nullptr;
    if (file == nullptr) {
        return;
    }
    const auto entries = markedEntries();
    // One refused entry stops the whole action, so a batch is never half done.
    if (!mayChange(*file, action, entries)) {
        m_presenter.alert(AlertStyle::warning, UiText::key(QStringLiteral("dialog_error")),
                          UiText::key(QStringLiteral("error_no_rights_to_edit")), {});
        return;
    }
    const int answer = m_presenter.alert(
        AlertStyle::warning, UiText::key(QStringLiteral("dialog_confirm")),
        UiText::key(QStringLiteral("want_to_delete_selected_items")),
        {UiText::key(QStringLiteral("dialog_yes")), UiText::key(QStringLiteral("dialog_no"))});
    if (answer != 0) {
        return;
    }

    bool changed = false;
    for (const auto& entry : entries) {
        // The entry may have left the database meanwhile (an earlier deletion of its parent).
        if (file->findItem(entry->fingerprint()).get() != entry.get()) {
            continue;
        }
        switch (action) {
        case Action::DeleteAttachment:
            changed = changed || !entry->attachments().isEmpty();
            entry->mutableAttachments().clear();
            break;
        case Action::ResetIcon:
            changed = changed || entry->icon.custom || entry->icon.index != 0;
            entry->icon.custom = false;
            entry->icon.index = 0;
            // Without the flag the image is never shown; dropping it is what tidying is for.
            entry->icon.image.clear();
            break;
        case Action::DeleteEntry:
            if (Info2Item* parent = entry->parent()) {
                changed = parent->removeSubItem(entry.get()) != nullptr || changed;
            }
            break;
        }
    }
    if (changed) {
        file->setModified();
    }
    if (m_save) {
        m_save();
    }
    refresh();
}

} // namespace keskor
