#pragma once
// An entry or a folder of a database, with its parts (custom fields, additional URLs, TANs,
// attachments, access permissions), its history versions and, for folders, its sub-items.
// Copies are deep: a copied folder owns copies of its sub-items.

#include "core/shared/AccessPermission.h"
#include "core/shared/Attachment.h"
#include "core/shared/IconItem.h"
#include "core/shared/ItemTexts.h"
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

class Info2Item {
public:
    /// Item kinds as stored; the same numbering as the program's entry kinds.
    static constexpr int TypeFolder = 0;
    static constexpr int TypePassword = 1;

    Info2Item() = default;
    ~Info2Item();
    Info2Item(const Info2Item& other);
    Info2Item& operator=(const Info2Item& other);
    Info2Item(Info2Item&& other) noexcept;
    Info2Item& operator=(Info2Item&& other) noexcept;

    /// A new item with a fresh fingerprint and its creation and modification dates set now.
    static std::shared_ptr<Info2Item> create(int type, const QString& description);
    static std::shared_ptr<Info2Item> createFolder(const QString& name);

    // Identity and kind. The texts are stored as UTF-8 and converted when read.
    QString fingerprint() const { return m_texts.fingerprint(); }
    void setFingerprint(const QString& fingerprint) { m_texts.setFingerprint(fingerprint); }
    QString description() const { return m_texts.description(); }
    void setDescription(const QString& description) { m_texts.setDescription(description); }
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

    // The lists most entries leave empty live in a block of their own, allocated on the first
    // write; the const accessors of an item without one return empty lists.
    const QList<PswField>& customFields() const;
    const QStringList& additionalUrls() const;
    const QList<TanItem>& tans() const;
    const QList<Attachment>& attachments() const;
    const QList<AccessPermission>& accessPermissions() const;
    /// Earlier versions of this entry, oldest first; they have no sub-items.
    const std::vector<Info2Item>& history() const;
    QList<PswField>& mutableCustomFields();
    QStringList& mutableAdditionalUrls();
    QList<TanItem>& mutableTans();
    QList<Attachment>& mutableAttachments();
    QList<AccessPermission>& mutableAccessPermissions();
    std::vector<Info2Item>& mutableHistory();

    std::optional<QString> text(ItemText field) const { return m_texts.text(field); }
    bool hasText(ItemText field) const { return m_texts.utf8(field).has_value(); }
    /// The stored UTF-8 bytes, valid until the item is next changed; for scans that compare
    /// many items without converting each text.
    std::optional<QByteArrayView> textUtf8(ItemText field) const noexcept {
        return m_texts.utf8(field);
    }
    /// Converts into `out`, reusing its capacity; false when the field is unset.
    bool readText(ItemText field, QString& out) const { return m_texts.readText(field, out); }
    void setText(ItemText field, const std::optional<QString>& value) {
        m_texts.setText(field, value);
    }
    /// The fields that hold a value, in field order.
    std::vector<std::pair<ItemText, QString>> texts() const { return m_texts.all(); }
    const ItemTexts& textStore() const noexcept { return m_texts; }
    ItemTexts& mutableTextStore() noexcept { return m_texts; }

    std::optional<QString> password() const { return text(ItemText::Password); }
    std::optional<QString> userName() const { return text(ItemText::UserName); }
    std::optional<QString> url() const { return text(ItemText::Url); }
    std::optional<QString> comment() const { return text(ItemText::Comment); }
    std::optional<QString> autoTypeTemplate() const { return text(ItemText::Template); }
    std::optional<QString> category() const { return text(ItemText::Category); }
    void setPassword(const std::optional<QString>& v) { setText(ItemText::Password, v); }
    void setUserName(const std::optional<QString>& v) { setText(ItemText::UserName, v); }
    void setUrl(const std::optional<QString>& v) { setText(ItemText::Url, v); }
    void setComment(const std::optional<QString>& v) { setText(ItemText::Comment, v); }
    void setAutoTypeTemplate(const std::optional<QString>& v) { setText(ItemText::Template, v); }

    void addAdditionalUrl(const QString& url) { mutableAdditionalUrls().append(url); }
    /// The custom field with this name, or nullptr.
    const PswField* customField(const QString& name) const;

    /// Keeps the current state as the newest history version, dropping the oldest beyond
    /// `maxHistory` versions.
    void pushHistory(int maxHistory);

    // Sub-items (folders only, but the model does not forbid entries under entries).
    const std::vector<std::shared_ptr<Info2Item>>& subItems() const;
    Info2Item* parent() const { return m_parent; }
    void addSubItem(std::shared_ptr<Info2Item> item);
    void insertSubItem(std::size_t index, std::shared_ptr<Info2Item> item);
    /// Room for `count` sub-items, so a loader that knows the count allocates once.
    void reserveSubItems(std::size_t count);
    /// Detaches and returns the sub-item; nullptr when it is not a direct child.
    std::shared_ptr<Info2Item> removeSubItem(const Info2Item* item);
    /// This item and everything below it, depth first.
    std::size_t countWithDescendants() const;

    /// Depth-first search of this item's descendants.
    std::shared_ptr<Info2Item> findDescendant(const QString& fingerprint) const;

    /// Field-by-field equality including history and sub-items (not the parent).
    bool sameContent(const Info2Item& other) const;

private:
    struct Parts;
    const Parts& parts() const noexcept;
    Parts& mutableParts();
    static const Parts& noParts() noexcept;
    void adoptChildren();
    std::shared_ptr<Info2Item> findEncoded(QByteArrayView encodedFingerprint) const;

    ItemTexts m_texts;
    std::unique_ptr<Parts> m_parts;
    Info2Item* m_parent = nullptr;
};

struct Info2Item::Parts {
    Parts() = default;
    /// Deep: the copy owns copies of the sub-items.
    Parts(const Parts& other);
    Parts& operator=(const Parts&) = delete;

    QList<PswField> customFields;
    QStringList additionalUrls;
    QList<TanItem> tans;
    QList<Attachment> attachments;
    QList<AccessPermission> accessPermissions;
    std::vector<Info2Item> history;
    std::vector<std::shared_ptr<Info2Item>> subItems;
};

inline const Info2Item::Parts& Info2Item::parts() const noexcept {
    return m_parts ? *m_parts : noParts();
}
inline const QList<PswField>& Info2Item::customFields() const {
    return parts().customFields;
}
inline const QStringList& Info2Item::additionalUrls() const {
    return parts().additionalUrls;
}
inline const QList<TanItem>& Info2Item::tans() const {
    return parts().tans;
}
inline const QList<Attachment>& Info2Item::attachments() const {
    return parts().attachments;
}
inline const QList<AccessPermission>& Info2Item::accessPermissions() const {
    return parts().accessPermissions;
}
inline const std::vector<Info2Item>& Info2Item::history() const {
    return parts().history;
}
inline QList<PswField>& Info2Item::mutableCustomFields() {
    return mutableParts().customFields;
}
inline QStringList& Info2Item::mutableAdditionalUrls() {
    return mutableParts().additionalUrls;
}
inline QList<TanItem>& Info2Item::mutableTans() {
    return mutableParts().tans;
}
inline QList<Attachment>& Info2Item::mutableAttachments() {
    return mutableParts().attachments;
}
inline QList<AccessPermission>& Info2Item::mutableAccessPermissions() {
    return mutableParts().accessPermissions;
}
inline std::vector<Info2Item>& Info2Item::mutableHistory() {
    return mutableParts().history;
}
inline const std::vector<std::shared_ptr<Info2Item>>& Info2Item::subItems() const {
    return parts().subItems;
}

} // namespace keskor
