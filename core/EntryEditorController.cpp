#include "core/EntryEditorController.h"

#include "core/EntryKinds.h"
#include "core/ItemActions.h"
#include "core/shared/AtomicFile.h"
#include "core/shared/DateTimeHelper.h"
#include "core/shared/RightsHelper.h"
#include "platform/Presenter.h"

#include <QFile>
#include <QFileInfo>

namespace keskor {

namespace {

void setKept(Info2Item& item, ItemText field, const QString& value) {
    // An empty text the entry never had stays absent, so exports leave it out as before.
    if (value.isEmpty() && !item.hasText(field)) {
        return;
    }
    item.setText(field, value);
}

QString textOf(const Info2Item& item, ItemText field) {
    const std::optional<QString> value = item.text(field);
    return value ? *value : QString();
}

} // namespace

EntryDraft EntryDraft::from(const Info2Item& item) {
    EntryDraft d;
    d.type = item.type;
    d.description = item.description();
    d.userName = textOf(item, ItemText::UserName);
    d.password = textOf(item, ItemText::Password);
    d.url = textOf(item, ItemText::Url);
    d.comment = textOf(item, ItemText::Comment);
    d.category = textOf(item, ItemText::Category);
    d.autoTypeTemplate = textOf(item, ItemText::Template);
    d.expiryDate = item.expiryDate;
    d.importance = item.importance;
    d.isFavorite = item.isFavorite;
    d.icon = item.icon;
    d.customFields = item.customFields();
    d.tans = item.tans();
    d.attachments = item.attachments();
    d.additionalUrls = item.additionalUrls();
    return d;
}

void EntryDraft::applyTo(Info2Item& item) const {
    item.type = type;
    item.setDescription(description);
    setKept(item, ItemText::UserName, userName);
    setKept(item, ItemText::Password, password);
    setKept(item, ItemText::Url, url);
    setKept(item, ItemText::Comment, comment);
    setKept(item, ItemText::Category, category);
    setKept(item, ItemText::Template, autoTypeTemplate);
    item.expiryDate = expiryDate;
    item.importance = importance;
    item.isFavorite = isFavorite;
    item.icon = icon;
    item.mutableCustomFields() = customFields;
    item.mutableTans() = tans;
    item.mutableAttachments() = attachments;
    item.mutableAdditionalUrls() = additionalUrls;
}

EntryEditorController::EntryEditorController(ItemActions& items, Presenter& presenter,
                                             std::shared_ptr<Info2Item> entry)
    : m_items(items), m_presenter(presenter), m_entry(std::move(entry)) {
    if (m_entry) {
        draft = EntryDraft::from(*m_entry);
        const PassFile* file = m_items.database();
        m_readOnly = !file || !RightsHelper::checkModifyRights(*file, *m_entry);
    }
}

EntryEditorController::EntryEditorController(ItemActions& items, Presenter& presenter, int type,
                                             Info2Item& folder)
    : m_items(items), m_presenter(presenter), m_folder(&folder) {
    draft.type = type;
    for (const EntryKind::Field& field : EntryKinds::ofRaw(type).customFields) {
        PswField f;
        f.name = field.name;
        f.visible = !field.secret;
        draft.customFields.append(f);
    }
}

const std::vector<Info2Item>& EntryEditorController::history() const {
    static const std::vector<Info2Item> none;
    return m_entry ? m_entry->history() : none;
}

void EntryEditorController::restoreHistory(int index) {
    const std::vector<Info2Item>& versions = history();
    if (index < 0 || static_cast<std::size_t>(index) >= versions.size()) {
        return;
    }
    const bool favorite = draft.isFavorite;
    draft = EntryDraft::from(versions[static_cast<std::size_t>(index)]);
    draft.isFavorite = favorite;
}

bool EntryEditorController::fail(const UiText& text) {
    m_presenter.alert(AlertStyle::warning, UiText::key(QStringLiteral("dialog_error")), text, {});
    return false;
}

bool EntryEditorController::addAttachment(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return fail(UiText::plain(file.errorString()));
    }
    if (file.size() > kMaxAttachmentBytes) {
        return fail(UiText::key(QStringLiteral("error_attachment_too_big")));
    }
    Attachment attachment;
    attachment.fileName = QFileInfo(path).fileName();
    attachment.originalPath = QFileInfo(path).absoluteFilePath();
    attachment.lastModified = DateTimeHelper::toDelphiTime(QFileInfo(path).lastModified());
    attachment.data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return fail(UiText::plain(file.errorString()));
    }
    draft.attachments.append(std::move(attachment));
    return true;
}

bool EntryEditorController::saveAttachment(int index, const QString& path) {
    if (index < 0 || index >= draft.attachments.size()) {
        return false;
    }
    QString error;
    // The file may hold secrets: only the user may read it.
    if (!AtomicFile::write(path, draft.attachments[index].data, &error,
                           QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        return fail(UiText::plain(error));
    }
    return true;
}

void EntryEditorController::removeAttachment(int index) {
    if (index >= 0 && index < draft.attachments.size()) {
        draft.attachments.removeAt(index);
    }
}

bool EntryEditorController::save() {
    if (m_readOnly) {
        return fail(UiText::key(QStringLiteral("error_no_rights_to_edit")));
    }
    if (draft.description.trimmed().isEmpty()) {
        return fail(UiText::key(QStringLiteral("error_input_required")));
    }
    if (isNew()) {
        std::shared_ptr<Info2Item> entry = Info2Item::create(draft.type, draft.description);
        draft.applyTo(*entry);
        if (!m_items.addItem(entry, *m_folder)) {
            return false;
        }
        m_entry = std::move(entry);
        m_folder = nullptr;
        return true;
    }
    if (!m_entry) {
        return false;
    }
    if (EntryDraft::from(*m_entry) == draft) {
        return true;
    }
    return m_items.modifyItem(*m_entry, [this](Info2Item& item) { draft.applyTo(item); });
}

} // namespace keskor
