#pragma once
// The logic of the find-and-replace dialog without its widgets: the dialog hands in the state
// of its controls, and shows the state this controller hands back (results and their marks,
// status labels, button enablement). A replacement asks for confirmation through the presenter,
// changes the marked entries and runs the explicit session save.

#include "core/shared/PassFile.h"
#include "platform/NotificationCenter.h"
#include "platform/Presenter.h"
#include "tools/FolderSelectMenuItem.h"
#include "tools/ReplaceSearchOptions.h"
#include "tools/TextLookup.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace keskor {

/// The controls of the dialog.
struct ReplaceControls {
    QString searchField;
    QString replaceField;
    /// The folder chosen in folderPopup by fingerprint; empty for the whole database.
    QString folderFingerprint;
    bool descriptionCheck = true;
    bool usernameCheck = true;
    bool passwordCheck = true;
    bool customFieldCheck = true;
    bool urlCheck = false;
    bool commentsCheck = false;
    bool webformCheck = true;
    bool includeSubFolderCheck = true;
    bool matchCaseCheck = true;
};

struct ReplaceViewState {
    /// What the dialog's controls should show (changed by onNewSearch).
    ReplaceControls controls;
    std::vector<std::shared_ptr<Info2Item>> resultArray;
    /// The rows' check boxes, one per result; rows start marked.
    QList<bool> marked;
    QString status1Label;
    QString status2Label;
    bool findButtonEnabled = false;
    bool replaceButtonEnabled = false;
    bool closeRequested = false;
};

class ReplaceViewController {
public:
    using DatabaseAccess = std::function<PassFile*()>;
    /// The explicit session save.
    using SaveCallback = std::function<void()>;
    /// Has the main view refresh its current selection after a replacement.
    using RefreshSelection = std::function<void()>;

    /// With `notifications`, an entry-change notification runs the find again.
    ReplaceViewController(Presenter& presenter, TextLookup text, DatabaseAccess database,
                          SaveCallback save, RefreshSelection refreshSelection = {},
                          NotificationCenter* notifications = nullptr);
    ~ReplaceViewController();
    ReplaceViewController(const ReplaceViewController&) = delete;
    ReplaceViewController& operator=(const ReplaceViewController&) = delete;

    /// The database itself, then every folder depth first in stored order.
    QList<FolderSelectMenuItem> folderPopup() const;
    /// The same choices for any database (the export dialog offers them too).
    static QList<FolderSelectMenuItem> foldersOf(const PassFile& file);
    /// searchFolder is null when the chosen folder is no longer in the database.
    static ReplaceSearchOptions buildOptions(const ReplaceControls& controls, const PassFile& file);

    void onFind(const ReplaceControls& controls);
    void onReplace(const ReplaceControls& controls);
    void onNewSearch();
    void onCancel() { m_state.closeRequested = true; }
    void onTableCellCheck(int row, bool marked);
    void controlTextDidChange(const ReplaceControls& controls);
    /// Runs the find again with the controls of the last call.
    void entryDidChanged();

    const ReplaceViewState& state() const noexcept { return m_state; }
    int markedCount() const;

private:
    void markAll();
    void updateButtons();
    QString checkedItemsText() const;

    Presenter& m_presenter;
    TextLookup m_text;
    DatabaseAccess m_database;
    SaveCallback m_save;
    RefreshSelection m_refreshSelection;
    NotificationCenter* m_notifications;
    NotificationCenter::Token m_observer = 0;
    ReplaceViewState m_state;
};

} // namespace keskor
