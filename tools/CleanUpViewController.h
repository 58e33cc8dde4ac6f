#pragma once
// The logic of the clean-up dialog without its widgets: the dialog hands in the state of its
// criteria controls and its row check boxes, and shows the state this controller hands back
// (results, marks, the description label). The actions ask for confirmation through the
// presenter, change the marked entries of the open database and run the session save.

#include "core/shared/PassFile.h"
#include "platform/Presenter.h"
#include "tools/CleanUpSearchOptions.h"
#include "tools/TextLookup.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

namespace keskor {

/// The criteria controls of the dialog.
struct CleanUpCriteria {
    bool showExpiredBeforeCheck = false;
    QDateTime expireBeforeDatepicker;
    bool withAttachmentBiggerCheck = false;
    QString attachmentSizeField;
    bool notUsedAfterCheck = false;
    QDateTime notUsedAfterDatePicker;
    bool neverUsedCheck = false;
    bool withHistoryCheck = false;
    bool withCustomIconCheck = false;
    /// radioOR on; radioAND is its opposite.
    bool radioOR = true;
};

struct CleanUpViewState {
    std::vector<std::shared_ptr<Info2Item>> resultArray;
    /// The row check boxes, one per result; rows start marked.
    QList<bool> marked;
    QString descriptionLabel;
    bool closeRequested = false;
};

class CleanUpViewController {
public:
    /// The open database, or null while none is open.
    using DatabaseAccess = std::function<PassFile*()>;
    /// The session save after a change (not an explicit save: it writes when auto-saving is on).
    using SaveCallback = std::function<void()>;

    /// Used when the attachment-size field does not hold a decimal integer.
    static constexpr qint64 kDefaultAttachmentSize = 10;

    CleanUpViewController(Presenter& presenter, TextLookup text, DatabaseAccess database,
                          SaveCallback save);

    static CleanUpSearchOptions buildOptions(const CleanUpCriteria& criteria);

    /// Runs the search with these criteria; called whenever a criterion changes.
    const CleanUpViewState& search(const CleanUpCriteria& criteria);
    /// A row's check box was switched.
    void setMarked(int row, bool marked);

    void onDeleteAttachment();
    void onResetIcon();
    void onDeleteEntry();
    /// The history criterion is collected but not acted on: the button does nothing.
    void onDeleteHistory() {}
    void onORANDRadio(bool radioOR);
    void onClose() { m_state.closeRequested = true; }

    const CleanUpViewState& state() const noexcept { return m_state; }
    const CleanUpCriteria& criteria() const noexcept { return m_criteria; }

private:
    enum class Action { DeleteAttachment, ResetIcon, DeleteEntry };
    void perform(Action action);
    std::vector<std::shared_ptr<Info2Item>> markedEntries() const;
    bool mayChange(const PassFile& file, Action action,
                   const std::vector<std::shared_ptr<Info2Item>>& entries) const;
    void refresh();

    Presenter& m_presenter;
    TextLookup m_text;
    DatabaseAccess m_database;
    SaveCallback m_save;
    CleanUpCriteria m_criteria;
    CleanUpViewState m_state;
};

} // namespace keskor
