#include "tools/AnalyzeViewController.h"

#include "core/shared/RightsHelper.h"
#include "tools/PasswordHelper.h"

#include <algorithm>

namespace keskor {

namespace {

constexpr double kNoExpiry = 2147483647.0;

void walk(const Info2Item& folder, std::vector<std::shared_ptr<Info2Item>>& out) {
    for (const auto& child : folder.subItems()) {
        if (child->isFolder) {
            walk(*child, out);
        } else if (child->password().has_value()) {
            out.push_back(child);
        }
    }
}

} // namespace

AnalyzeViewController::AnalyzeViewController(Presenter& presenter, TextLookup text,
                                             DatabaseAccess database, Now now)
    : m_presenter(presenter), m_text(std::move(text)), m_database(std::move(database)),
      m_now(std::move(now)) {}

std::vector<std::shared_ptr<Info2Item>> AnalyzeViewController::collect(const Info2Item& folder) {
    std::vector<std::shared_ptr<Info2Item>> out;
    walk(folder, out);
    return out;
}

void AnalyzeViewController::reload() {
    const PassFile* file = m_database ? m_database() : nullptr;
    m_resultArray = file ? collect(file->root()) : std::vector<std::shared_ptr<Info2Item>>{};
    rebuildRows();
    if (!m_sortKey.isEmpty()) {
        sort(m_sortKey, m_ascending);
    }
}

AnalyzeRow AnalyzeViewController::makeRow(const std::shared_ptr<Info2Item>& item,
                                          double now) const {
    AnalyzeRow row;
    row.item = item;
    const bool expired =
        item->expiryDate > 1.0 && item->expiryDate < kNoExpiry && item->expiryDate < now;
    if (expired) {
        row.importanceImage = QStringLiteral("expired");
    } else if (item->importance > 1) {
        row.importanceImage = QStringLiteral("high_priority");
    } else if (item->importance < 1) {
        row.importanceImage = QStringLiteral("low_priority");
    }
    row.description = item->description();
    const QString password = item->password().value_or(QString());
    row.entropy = PasswordHelper::entropy(password);
    row.entropyText = QString::number(row.entropy) + QStringLiteral(" bits");
    row.quality = PasswordHelper::strengthBarForEntropy(row.entropy);
    row.crackTime = PasswordHelper::crackTime(password);
    row.crackTimeText = PasswordHelper::crackTimeTextForSeconds(row.crackTime, true, m_text);
    return row;
}

void AnalyzeViewController::rebuildRows() {
    const double now = m_now ? m_now() : 0.0;
    m_rows.clear();
    m_rows.reserve(m_resultArray.size());
    for (const auto& item : m_resultArray) {
        m_rows.push_back(makeRow(item, now));
    }
}

void AnalyzeViewController::sort(const QString& key, bool ascending) {
    m_sortKey = key;
    m_ascending = ascending;
    std::function<bool(const AnalyzeRow&, const AnalyzeRow&)> less;
    if (key == QLatin1String("entropy") || key == QLatin1String("quality")) {
        less = [](const AnalyzeRow& a, const AnalyzeRow& b) { return a.entropy < b.entropy; };
    } else if (key == QLatin1String("cracktime")) {
        less = [](const AnalyzeRow& a, const AnalyzeRow& b) { return a.crackTime < b.crackTime; };
    } else if (key == QLatin1String("description")) {
        less = [](const AnalyzeRow& a, const AnalyzeRow& b) {
            return a.description.localeAwareCompare(b.description) < 0;
        };
    } else if (key == QLatin1String("importance")) {
        less = [](const AnalyzeRow& a, const AnalyzeRow& b) {
            return a.item->importance < b.item->importance;
        };
    } else {
        return;
    }
    std::stable_sort(m_rows.begin(), m_rows.end(), [&](const AnalyzeRow& a, const AnalyzeRow& b) {
        return ascending ? less(a, b) : less(b, a);
    });
    m_resultArray.clear();
    for (const auto& row : m_rows) {
        m_resultArray.push_back(row.item);
    }
}

void AnalyzeViewController::onEdit(int row) {
    const PassFile* file = m_database ? m_database() : nullptr;
    if (!file || row < 0 || static_cast<std::size_t>(row) >= m_rows.size()) {
        return;
    }
    const Info2Item& item = *m_rows[static_cast<std::size_t>(row)].item;
    if (!RightsHelper::checkModifyRights(*file, item)) {
        m_presenter.alert(AlertStyle::critical, UiText::key(QStringLiteral("dialog_error")),
                          UiText::key(QStringLiteral("error_no_rights_to_edit")), {});
        return;
    }
    const QString dialog = item.type == kDocumentType
                               ? QStringLiteral("DocumentDetailViewController")
                               : QStringLiteral("EntryDetailViewController");
    m_presenter.openDialog(dialog, {{QStringLiteral("storyboard"), QStringLiteral("Popups")},
                                    {QStringLiteral("fingerprint"), item.fingerprint()}});
}

void AnalyzeViewController::onEntryChanged() {
    // An edit may have removed a password or moved the entry: walk the tree again.
    reload();
}

} // namespace keskor
