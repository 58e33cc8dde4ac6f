#include "tools/ReplaceViewController.h"

#include "core/shared/RightsHelper.h"
#include "platform/NotificationNames.h"
#include "tools/ReplaceSearch.h"

namespace keskor {

namespace {

void addFolders(const Info2Item& folder, int depth, QList<FolderSelectMenuItem>& out) {
    for (const auto& child : folder.subItems()) {
        if (child->isFolder) {
            out.append({child.get(), child->fingerprint(), child->description(), depth});
            addFolders(*child, depth + 1, out);
        }
    }
}

} // namespace

ReplaceViewController::ReplaceViewController(Presenter& presenter, TextLookup text,
                                             DatabaseAccess database, SaveCallback save,
                                             RefreshSelection refreshSelection,
                                             NotificationCenter* notifications)
    : m_presenter(presenter), m_text(std::move(text)), m_database(std::move(database)),
      m_save(std::move(save)), m_refreshSelection(std::move(refreshSelection)),
      m_notifications(notifications) {
    onNewSearch();
    if (m_notifications != nullptr) {
        m_observer = m_notifications->observe(NotificationNames::EntryDidChanged,
                                              [this](const QVariantMap&) { entryDidChanged(); });
    }
}

ReplaceViewController::~ReplaceViewController() {
    if (m_notifications != nullptr) {
        m_notifications->removeObserver(m_observer);
    }
}

QList<FolderSelectMenuItem> ReplaceViewController::folderPopup() const {
    const PassFile* file = m_database ? m_database() : nullptr;
    return file == nullptr ? QList<FolderSelectMenuItem>() : foldersOf(*file);
}

QList<FolderSelectMenuItem> ReplaceViewController::foldersOf(const PassFile& file) {
    QList<FolderSelectMenuItem> items;
    items.append({&file.root(), QString(), QString(), 0});
    addFolders(file.root(), 1, items);
    return items;
}

ReplaceSearchOptions ReplaceViewController::buildOptions(const ReplaceControls& controls,
                                                         const PassFile& file) {
    ReplaceSearchOptions options;
    options.query = controls.searchField;
    if (controls.folderFingerprint.isEmpty()) {
        options.searchFolder = &file.root();
    } else {
        const auto folder = file.findItem(controls.folderFingerprint);
        options.searchFolder = folder && folder->isFolder ? folder.get() : nullptr;
    }
    options.includeSubFolder = controls.includeSubFolderCheck;
    options.matchCase = controls.matchCaseCheck;
    options.inDescription = controls.descriptionCheck;
    options.inUsername = controls.usernameCheck;
    options.inPassword = controls.passwordCheck;
    options.inCustomField = controls.customFieldCheck;
    options.inURL = controls.urlCheck;
    options.inComments = controls.commentsCheck;
    options.inWebform = controls.webformCheck;
    return options;
}

void ReplaceViewController::onFind(const ReplaceControls& controls) {
    if (controls.searchField.isEmpty()) {
        return;
    }
    m_state.controls = controls;
    m_state.resultArray.clear();
    if (const PassFile* file = m_database ? m_database() : nullptr) {
        const ReplaceSearchOptions options = buildOptions(controls, *file);
        if (options.searchFolder != nullptr) {
            m_state.resultArray = ReplaceSearch::search(*options.searchFolder, options);
        }
    }
    markAll();
    const auto count = static_cast<qsizetype>(m_state.resultArray.size());
    m_state.status1Label = checkedItemsText();
    m_state.status2Label = count > 0 ? QString::number(count) + u' ' +
                                           m_text(QStringLiteral("advanced_search_password_found"))
                                     : m_text(QStringLiteral("advanced_search_no_result"));
    updateButtons();
}

void ReplaceViewController::onReplace(const ReplaceControls& controls) {
    PassFile* file = m_database ? m_database() : nullptr;
    if (file == nullptr) {
        return;
    }
    m_state.controls = controls;
    std::vector<std::shared_ptr<Info2Item>> entries;
    for (std::size_t i = 0; i < m_state.resultArray.size(); ++i) {
        if (m_state.marked.value(static_cast<qsizetype>(i))) {
            entries.push_back(m_state.resultArray[i]);
        }
    }
    for (const auto& entry : entries) {
        if (!RightsHelper::checkModifyRights(*file, *entry)) {
            m_presenter.alert(AlertStyle::warning, UiText::key(QStringLiteral("dialog_error")),
                              UiText::key(QStringLiteral("error_no_rights_to_edit")), {});
            return;
        }
    }

    const QString& query = controls.searchField;
    const QString& replacement = controls.replaceField;
    const QString message =
        m_text(QStringLiteral("find_replace_message1")) + QStringLiteral(" \"") + query +
        QStringLiteral("\" ") + m_text(QStringLiteral("find_replace_message2")) + u' ' +
        QString::number(entries.size()) + u' ' + m_text(QStringLiteral("find_replace_message3")) +
        QStringLiteral("\n\n") + m_text(QStringLiteral("find_replace_message4")) +
        QStringLiteral(" \"") + replacement + QStringLiteral("\"?");
    const int answer = m_presenter.alert(
        AlertStyle::critical, UiText::key(QStringLiteral("find_replace_dialog")),
        UiText::plain(message),
        {UiText::key(QStringLiteral("dialog_ok")), UiText::key(QStringLiteral("dialog_cancel"))});
    if (answer != 0) {
        return;
    }

    const ReplaceSearchOptions options = buildOptions(controls, *file);
    bool changed = false;
    for (const auto& entry : entries) {
        // Skip an entry that left the database since the find.
        if (file->findItem(entry->fingerprint()).get() == entry.get()) {
            changed = ReplaceSearch::replaceInEntry(*entry, options, replacement) || changed;
        }
    }
    if (changed) {
        file->setModified();
    }
    // The list stays as found; reloading the table makes its rows (marked) again.
    markAll();
    m_state.status1Label = checkedItemsText();
    if (m_refreshSelection) {
        m_refreshSelection();
    }
    if (m_save) {
        m_save();
    }
    m_state.replaceButtonEnabled = false;
}

void ReplaceViewController::onNewSearch() {
    m_state = ReplaceViewState();
    m_state.controls = ReplaceControls();
}

void ReplaceViewController::onTableCellCheck(int row, bool marked) {
    if (row < 0 || row >= m_state.marked.size()) {
        return;
    }
    m_state.marked[row] = marked;
    m_state.status1Label = checkedItemsText();
}

void ReplaceViewController::controlTextDidChange(const ReplaceControls& controls) {
    m_state.controls = controls;
    updateButtons();
}

void ReplaceViewController::entryDidChanged() {
    onFind(m_state.controls);
}

int ReplaceViewController::markedCount() const {
    return static_cast<int>(m_state.marked.count(true));
}

void ReplaceViewController::markAll() {
    m_state.marked = QList<bool>(static_cast<qsizetype>(m_state.resultArray.size()), true);
}

void ReplaceViewController::updateButtons() {
    const ReplaceControls& c = m_state.controls;
    m_state.findButtonEnabled = !c.searchField.isEmpty();
    m_state.replaceButtonEnabled =
        !c.searchField.isEmpty() && !c.replaceField.isEmpty() && !m_state.resultArray.empty();
}

QString ReplaceViewController::checkedItemsText() const {
    return m_text(QStringLiteral("find_replace_checked_items")) + u' ' +
           QString::number(markedCount());
}

} // namespace keskor
