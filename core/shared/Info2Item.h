#pragma once
// An entry or a folder of a database, with its parts (custom fields, additional URLs, TANs,
// attachments, access permissions), its history versions and, for folders, its sub-items.
// Copies are deep: a copied folder owns copies of its sub-items.

#include "core/shared/AccessPermission.h"
#include "core/shared/Attachment.h"
#include "core/shared/IconItem.h"
#include "core/shared/PswField.h"
#include "core/shared/TanItem.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace keskor {

/// The optional text fields of an item. Absent and empty are different: an absent text is
/// left out of exports, an empty one is written.
enum class ItemText : int {
    Password = 0,
    UserName,
    Url,
    Comment,
    Template,
    ParamStr,
    Category,
    CustomBrowser,
    WebForm,
    LoginId,
    PassId,
    RndCustom,
    SourceId,
    Tags,
    Count
};

class Info2Item {
public:
    /// Item kinds as stored; the same numbering as the program's entry kinds.
    static constexpr int TypeFolder = 0;
    static constexpr int TypePassword = 1;

    Info2Item() = default;
    ~Info2Item() = default;
    Info2Item(const Info2Item& other);
    Info2Item& operator=(const Info2Item& other);
    Info2Item(Info2Item&& other) noexcept;
    Info2Item& operator=(Info2Item&& other) noexcept;

    /// A new item with a fresh fingerprint and its creation and modification dates set now.
    static std::shared_ptr<Info2Item> create(int type, const QString& description);
    static std::shared_ptr<Info2Item> createFolder(const QString& name);

    // Identity and kind.
    QString fingerprint;
    QString description;
    int type = TypePassword;
    bool isFolder = false;

    // Dates as day numbers; 0 means unset.
    double lastModified = 0.0;
    double expiryDate = 0.0;
    double created = 0.0;
    double lastAccessed = 0.0;

    int importance = 1;
    IconItem icon;
    bool secondEye = false;
    int autoCompleteMethod = 0;
    bool doNotAddon = false;
    bool markAsSafe = false;
    bool safeMode = false;
    int rndType = 1;
    int usageCount = 0;

    // Navigation state.
    bool isFavorite = false;
    bool isDeleted = false;

    QList<PswField> customFields;
    QStringList additionalUrls;
    QList<TanItem> tans;
    QList<Attachment> attachments;
    QList<AccessPermission> accessPermissions;
    /// Earlier versions of this entry, oldest first; they have no sub-items.
    std::vector<Info2Item> history;

    std::optional<QString> text(ItemText field) const;
    /// The same value without a copy (null when unset), for scans over a whole database.
    const QString* findText(ItemText field) const noexcept;
    void setText(ItemText field, std::optional<QString> value);
    /// Room for `count` texts, so a loader that knows the count allocates once.
    void reserveTexts(std::size_t count) { m_texts.reserve(count); }
    /// The fields that hold a value, in field order.
    const std::vector<std::pair<ItemText, QString>>& texts() const { return m_texts; }

    std::optional<QString> password() const { return text(ItemText::Password); }
    std::optional<QString> userName() const { return text(ItemText::UserName); }
    std::optional<QString> url() const { return text(ItemText::Url); }
    std::optional<QString> comment() const { return text(ItemText::Comment); }
    std::optional<QString> autoTypeTemplate() const { return text(ItemText::Template); }
    std::optional<QString> category() const { return text(ItemText::Category); }
    void setPassword(std::optional<QString> v) { setText(ItemText::Password, std::move(v)); }
    void setUserName(std::optional<QString> v) { setText(ItemText::UserName, std::move(v)); }
    void setUrl(std::optional<QString> v) { setText(ItemText::Url, std::move(v)); }
    void setComment(std::optional<QString> v) { setText(ItemText::Comment, std::move(v)); }
    void setAutoTypeTemplate(std::optional<QString> v) {
        setText(ItemText::Template, std::move(v));
    }

    void addAdditionalUrl(const QString& url) { additionalUrls.append(url); }
    /// The custom field with this name, or nullptr.
    const PswField* customField(const QString& name) const;

    /// Keeps the current state as the newest history version, dropping the oldest beyond
    /// `maxHistory` versions.
    void pushHistory(int maxHistory);

    // Sub-items (folders only, but the model does not forbid entries under entries).
    const std::vector<std::shared_ptr<Info2Item>>& subItems() const { return m_subItems; }
    Info2Item* parent() const { return m_parent; }
    void addSubItem(std::shared_ptr<Info2Item> item);
    void insertSubItem(std::size_t index, std::shared_ptr<Info2Item> item);
    /// Detaches and returns the sub-item; nullptr when it is not a direct child.
    std::shared_ptr<Info2Item> removeSubItem(const Info2Item* item);
    /// This item and everything below it, depth first.
    std::size_t countWithDescendants() const;

    /// Depth-first search of this item's descendants.
    std::shared_ptr<Info2Item> findDescendant(const QString& fingerprint) const;

    /// Field-by-field equality including history and sub-items (not the parent).
    bool sameContent(const Info2Item& other) const;

private:
    void adoptChildren();
    std::vector<std::pair<ItemText, QString>> m_texts;
    std::vector<std::shared_ptr<Info2Item>> m_subItems;
    Info2Item* m_parent = nullptr;
};

} // namespace keskor
