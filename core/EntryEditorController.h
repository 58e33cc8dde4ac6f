#pragma once
// The entry editor's logic without its widgets: the editable copy of an entry (its texts by
// kind, custom fields, TANs, attachments, icon), history versions to look at and restore, and
// the save that goes through the main view's item changes (rights, history, session save).
// A new entry is only created in its folder when it is saved.

#include "core/shared/Info2Item.h"
#include "platform/UiText.h"

#include <QString>
#include <memory>
#include <optional>

namespace keskor {

class ItemActions;
class Presenter;

struct EntryDraft {
    int type = Info2Item::TypePassword;
    QString description;
    QString userName;
    QString password;
    QString url;
    QString comment;
    QString category;
    QString autoTypeTemplate;
    double expiryDate = 0.0;
    int importance = 1;
    bool isFavorite = false;
    IconItem icon;
    QList<PswField> customFields;
    QList<TanItem> tans;
    QList<Attachment> attachments;
    QStringList additionalUrls;

    static EntryDraft from(const Info2Item& item);
    /// Writes the draft into the item; a text left empty that the item never had stays absent.
    void applyTo(Info2Item& item) const;
    bool operator==(const EntryDraft&) const = default;
};

class EntryEditorController {
public:
    /// Files above this are refused: the whole database is held in memory and saved at once.
    static constexpr qint64 kMaxAttachmentBytes = 256ll * 1024 * 1024;

    /// Edits an existing entry.
    EntryEditorController(ItemActions& items, Presenter& presenter,
                          std::shared_ptr<Info2Item> entry);
    /// Makes a new entry of `type` in `folder`; the kind's custom fields are there to fill.
    EntryEditorController(ItemActions& items, Presenter& presenter, int type, Info2Item& folder);

    EntryDraft draft;

    bool isNew() const noexcept { return m_folder != nullptr; }
    /// The user may not change the entry (enterprise rights): the editor only shows it.
    bool isReadOnly() const noexcept { return m_readOnly; }
    const std::shared_ptr<Info2Item>& entry() const noexcept { return m_entry; }
    /// Earlier versions, oldest first (none for a new entry).
    const std::vector<Info2Item>& history() const;
    /// Puts a history version into the draft; saving then makes it the current state.
    void restoreHistory(int index);

    /// Reads a file into a new attachment; false after telling the user why.
    bool addAttachment(const QString& path);
    /// Writes an attachment's bytes to a file (atomically); false after telling the user.
    bool saveAttachment(int index, const QString& path);
    void removeAttachment(int index);

    /// Stores the draft; false when nothing was stored (no database, rights, empty title).
    bool save();

private:
    bool fail(const UiText& text);

    ItemActions& m_items;
    Presenter& m_presenter;
    std::shared_ptr<Info2Item> m_entry;
    Info2Item* m_folder = nullptr;
    bool m_readOnly = false;
};

} // namespace keskor
