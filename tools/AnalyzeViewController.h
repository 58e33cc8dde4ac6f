#pragma once
// The logic of the database analysis window without its widgets: every entry with a password,
// in tree order, with its importance image, entropy, strength bar and compact crack time;
// sorting by those values and opening the editor of the selected entry.

#include "core/shared/PassFile.h"
#include "platform/Presenter.h"
#include "tools/StrengthBar.h"
#include "tools/TextLookup.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace keskor {

struct AnalyzeRow {
    std::shared_ptr<Info2Item> item;
    /// "expired", "high_priority", "low_priority" or empty.
    QString importanceImage;
    QString description;
    int entropy = 0;
    /// The entropy followed by " bits".
    QString entropyText;
    StrengthBar quality;
    std::int64_t crackTime = 0;
    QString crackTimeText;
};

class AnalyzeViewController {
public:
    using DatabaseAccess = std::function<PassFile*()>;
    /// The current moment as a day number, for the expiry check.
    using Now = std::function<double()>;

    static constexpr int kDocumentType = 8;

    AnalyzeViewController(Presenter& presenter, TextLookup text, DatabaseAccess database, Now now);

    /// The entries of `folder` and its sub-folders that have a password, depth first.
    static std::vector<std::shared_ptr<Info2Item>> collect(const Info2Item& folder);

    /// Rebuilds resultArray from the open database (empty while none is open).
    void reload();
    /// Sorts by the first sort descriptor: "entropy" and "quality" by entropy, "cracktime" by
    /// crack time, "description" and "importance" by those fields; other keys keep the order.
    void sort(const QString& key, bool ascending);

    const std::vector<std::shared_ptr<Info2Item>>& resultArray() const noexcept {
        return m_resultArray;
    }
    const std::vector<AnalyzeRow>& rows() const noexcept { return m_rows; }

    /// Double-click or the edit button on a row: opens the entry editor, or refuses.
    void onEdit(int row);
    /// The editor reported a change: the list is built afresh, sorted as before.
    void onEntryChanged();

private:
    AnalyzeRow makeRow(const std::shared_ptr<Info2Item>& item, double now) const;
    void rebuildRows();

    Presenter& m_presenter;
    TextLookup m_text;
    DatabaseAccess m_database;
    Now m_now;
    std::vector<std::shared_ptr<Info2Item>> m_resultArray;
    std::vector<AnalyzeRow> m_rows;
    QString m_sortKey;
    bool m_ascending = true;
};

} // namespace keskor
