#include "core/shared/Info2Item.h"

#include "core/shared/DateTimeHelper.h"
#include "core/shared/FingerPrintHelper.h"

#include <algorithm>

namespace keskor {

Info2Item::Info2Item(const Info2Item& other)
    : fingerprint(other.fingerprint), description(other.description), type(other.type),
      isFolder(other.isFolder), lastModified(other.lastModified), expiryDate(other.expiryDate),
      created(other.created), lastAccessed(other.lastAccessed), importance(other.importance),
      icon(other.icon), secondEye(other.secondEye), autoCompleteMethod(other.autoCompleteMethod),
      doNotAddon(other.doNotAddon), markAsSafe(other.markAsSafe), safeMode(other.safeMode),
      rndType(other.rndType), usageCount(other.usageCount), isFavorite(other.isFavorite),
      isDeleted(other.isDeleted), customFields(other.customFields),
      additionalUrls(other.additionalUrls), tans(other.tans), attachments(other.attachments),
      accessPermissions(other.accessPermissions), history(other.history), m_texts(other.m_texts) {
    m_subItems.reserve(other.m_subItems.size());
    for (const auto& child : other.m_subItems) {
        m_subItems.push_back(std::make_shared<Info2Item>(*child));
    }
    adoptChildren();
}

Info2Item& Info2Item::operator=(const Info2Item& other) {
    if (this != &other) {
        Info2Item copy(other);
        *this = std::move(copy);
    }
    return *this;
}

Info2Item::Info2Item(Info2Item&& other) noexcept
    : fingerprint(std::move(other.fingerprint)), description(std::move(other.description)),
      type(other.type), isFolder(other.isFolder), lastModified(other.lastModified),
      expiryDate(other.expiryDate), created(other.created), lastAccessed(other.lastAccessed),
      importance(other.importance), icon(std::move(other.icon)), secondEye(other.secondEye),
      autoCompleteMethod(other.autoCompleteMethod), doNotAddon(other.doNotAddon),
      markAsSafe(other.markAsSafe), safeMode(other.safeMode), rndType(other.rndType),
      usageCount(other.usageCount), isFavorite(other.isFavorite), isDeleted(other.isDeleted),
      customFields(std::move(other.customFields)), additionalUrls(std::move(other.additionalUrls)),
      tans(std::move(other.tans)), attachments(std::move(other.attachments)),
      accessPermissions(std::move(other.accessPermissions)), history(std::move(other.history)),
      m_texts(std::move(other.m_texts)), m_subItems(std::move(other.m_subItems)) {
    adoptChildren();
}

Info2Item& Info2Item::operator=(Info2Item&& other) noexcept {
    if (this == &other) {
        return *this;
    }
    fingerprint = std::move(other.fingerprint);
    description = std::move(other.description);
    type = other.type;
    isFolder = other.isFolder;
    lastModified = other.lastModified;
    expiryDate = other.expiryDate;
    created = other.created;
    lastAccessed = other.lastAccessed;
    importance = other.importance;
    icon = std::move(other.icon);
    secondEye = other.secondEye;
    autoCompleteMethod = other.autoCompleteMethod;
    doNotAddon = other.doNotAddon;
    markAsSafe = other.markAsSafe;
    safeMode = other.safeMode;
    rndType = other.rndType;
    usageCount = other.usageCount;
    isFavorite = other.isFavorite;
    isDeleted = other.isDeleted;
    customFields = std::move(other.customFields);
    additionalUrls = std::move(other.additionalUrls);
    tans = std::move(other.tans);
    attachments = std::move(other.attachments);
    accessPermissions = std::move(other.accessPermissions);
    history = std::move(other.history);
    m_texts = std::move(other.m_texts);
    m_subItems = std::move(other.m_subItems);
    adoptChildren();
    return *this;
}

void Info2Item::adoptChildren() {
    for (auto& child : m_subItems) {
        child->m_parent = this;
    }
}

std::shared_ptr<Info2Item> Info2Item::create(int type, const QString& description) {
    auto item = std::make_shared<Info2Item>();
    item->fingerprint = FingerPrintHelper::getNewFingerprint();
    item->type = type;
    item->isFolder = (type == TypeFolder);
    item->description = description;
    item->created = DateTimeHelper::Now();
    item->lastModified = item->created;
    return item;
}

std::shared_ptr<Info2Item> Info2Item::createFolder(const QString& name) {
    return create(TypeFolder, name);
}

std::optional<QString> Info2Item::text(ItemText field) const {
    if (const QString* value = findText(field)) {
        return *value;
    }
    return std::nullopt;
}

const QString* Info2Item::findText(ItemText field) const noexcept {
    for (const auto& [f, value] : m_texts) {
        if (f == field) {
            return &value;
        }
    }
    return nullptr;
}

void Info2Item::setText(ItemText field, std::optional<QString> value) {
    auto it = std::lower_bound(m_texts.begin(), m_texts.end(), field,
                               [](const auto& entry, ItemText f) { return entry.first < f; });
    const bool present = it != m_texts.end() && it->first == field;
    if (!value) {
        if (present) {
            m_texts.erase(it);
        }
        return;
    }
    if (present) {
        it->second = std::move(*value);
    } else {
        m_texts.insert(it, {field, std::move(*value)});
    }
}

const PswField* Info2Item::customField(const QString& name) const {
    for (const PswField& f : customFields) {
        if (f.name == name) {
            return &f;
        }
    }
    return nullptr;
}

void Info2Item::pushHistory(int maxHistory) {
    if (maxHistory <= 0) {
        history.clear();
        return;
    }
    Info2Item version(*this);
    version.history.clear();
    version.m_subItems.clear();
    history.push_back(std::move(version));
    while (history.size() > static_cast<std::size_t>(maxHistory)) {
        history.erase(history.begin());
    }
}

void Info2Item::addSubItem(std::shared_ptr<Info2Item> item) {
    insertSubItem(m_subItems.size(), std::move(item));
}

void Info2Item::insertSubItem(std::size_t index, std::shared_ptr<Info2Item> item) {
    if (!item) {
        return;
    }
    item->m_parent = this;
    index = std::min(index, m_subItems.size());
    m_subItems.insert(m_subItems.begin() + static_cast<std::ptrdiff_t>(index), std::move(item));
}

std::shared_ptr<Info2Item> Info2Item::removeSubItem(const Info2Item* item) {
    auto it = std::find_if(m_subItems.begin(), m_subItems.end(),
                           [item](const auto& child) { return child.get() == item; });
    if (it == m_subItems.end()) {
        return nullptr;
    }
    std::shared_ptr<Info2Item> removed = std::move(*it);
    m_subItems.erase(it);
    removed->m_parent = nullptr;
    return removed;
}

std::size_t Info2Item::countWithDescendants() const {
    std::size_t n = 1;
    for (const auto& child : m_subItems) {
        n += child->countWithDescendants();
    }
    return n;
}

std::shared_ptr<Info2Item> Info2Item::findDescendant(const QString& fp) const {
    for (const auto& child : m_subItems) {
        if (child->fingerprint == fp) {
            return child;
        }
        if (auto found = child->findDescendant(fp)) {
            return found;
        }
    }
    return nullptr;
}

bool Info2Item::sameContent(const Info2Item& o) const {
    const bool scalars =
        fingerprint == o.fingerprint && description == o.description && type == o.type &&
        isFolder == o.isFolder && lastModified == o.lastModified && expiryDate == o.expiryDate &&
        created == o.created && lastAccessed == o.lastAccessed && importance == o.importance &&
        icon == o.icon && secondEye == o.secondEye && autoCompleteMethod == o.autoCompleteMethod &&
        doNotAddon == o.doNotAddon && markAsSafe == o.markAsSafe && safeMode == o.safeMode &&
        rndType == o.rndType && usageCount == o.usageCount && isFavorite == o.isFavorite &&
        isDeleted == o.isDeleted && customFields == o.customFields &&
        additionalUrls == o.additionalUrls && tans == o.tans && attachments == o.attachments &&
        accessPermissions == o.accessPermissions && m_texts == o.m_texts;
    if (!scalars || history.size() != o.history.size() ||
        m_subItems.size() != o.m_subItems.size()) {
        return false;
    }
    for (std::size_t i = 0; i < history.size(); ++i) {
        if (!history[i].sameContent(o.history[i])) {
            return false;
        }
    }
    for (std::size_t i = 0; i < m_subItems.size(); ++i) {
        if (!m_subItems[i]->sameContent(*o.m_subItems[i])) {
            return false;
        }
    }
    return true;
}

} // namespace keskor
