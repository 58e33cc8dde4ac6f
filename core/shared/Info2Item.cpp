#include "core/shared/Info2Item.h"

#include "core/shared/DateTimeHelper.h"
#include "core/shared/FingerPrintHelper.h"

#include <algorithm>

namespace keskor {

Info2Item::Parts::Parts(const Parts& other)
    : customFields(other.customFields), additionalUrls(other.additionalUrls), tans(other.tans),
      attachments(other.attachments), accessPermissions(other.accessPermissions),
      history(other.history) {
    subItems.reserve(other.subItems.size());
    for (const auto& child : other.subItems) {
        subItems.push_back(std::make_shared<Info2Item>(*child));
    }
}

Info2Item::~Info2Item() = default;

Info2Item::Info2Item(const Info2Item& other)
    : type(other.type), isFolder(other.isFolder), lastModified(other.lastModified),
      expiryDate(other.expiryDate), created(other.created), lastAccessed(other.lastAccessed),
      importance(other.importance), icon(other.icon), secondEye(other.secondEye),
      autoCompleteMethod(other.autoCompleteMethod), doNotAddon(other.doNotAddon),
      markAsSafe(other.markAsSafe), safeMode(other.safeMode), rndType(other.rndType),
      usageCount(other.usageCount), isFavorite(other.isFavorite), isDeleted(other.isDeleted),
      m_texts(other.m_texts),
      m_parts(other.m_parts ? std::make_unique<Parts>(*other.m_parts) : nullptr) {
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
    : type(other.type), isFolder(other.isFolder), lastModified(other.lastModified),
      expiryDate(other.expiryDate), created(other.created), lastAccessed(other.lastAccessed),
      importance(other.importance), icon(std::move(other.icon)), secondEye(other.secondEye),
      autoCompleteMethod(other.autoCompleteMethod), doNotAddon(other.doNotAddon),
      markAsSafe(other.markAsSafe), safeMode(other.safeMode), rndType(other.rndType),
      usageCount(other.usageCount), isFavorite(other.isFavorite), isDeleted(other.isDeleted),
      m_texts(std::move(other.m_texts)), m_parts(std::move(other.m_parts)) {
    adoptChildren();
}

Info2Item& Info2Item::operator=(Info2Item&& other) noexcept {
    if (this == &other) {
        return *this;
    }
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
    m_texts = std::move(other.m_texts);
    m_parts = std::move(other.m_parts);
    adoptChildren();
    return *this;
}

const Info2Item::Parts& Info2Item::noParts() noexcept {
    static const Parts none;
    return none;
}

Info2Item::Parts& Info2Item::mutableParts() {
    if (!m_parts) {
        m_parts = std::make_unique<Parts>();
    }
    return *m_parts;
}

void Info2Item::adoptChildren() {
    if (m_parts) {
        for (auto& child : m_parts->subItems) {
            child->m_parent = this;
        }
    }
}

std::shared_ptr<Info2Item> Info2Item::create(int type, const QString& description) {
    auto item = std::make_shared<Info2Item>();
    item->setFingerprint(FingerPrintHelper::getNewFingerprint());
    item->type = type;
    item->isFolder = (type == TypeFolder);
    item->setDescription(description);
    item->created = DateTimeHelper::Now();
    item->lastModified = item->created;
    return item;
}

std::shared_ptr<Info2Item> Info2Item::createFolder(const QString& name) {
    return create(TypeFolder, name);
}

const PswField* Info2Item::customField(const QString& name) const {
    for (const PswField& f : customFields()) {
        if (f.name == name) {
            return &f;
        }
    }
    return nullptr;
}

void Info2Item::pushHistory(int maxHistory) {
    if (maxHistory <= 0) {
        if (m_parts) {
            m_parts->history.clear();
        }
        return;
    }
    Info2Item version(*this);
    if (version.m_parts) {
        version.m_parts->history.clear();
        version.m_parts->subItems.clear();
    }
    auto& history = mutableHistory();
    history.push_back(std::move(version));
    while (history.size() > static_cast<std::size_t>(maxHistory)) {
        history.erase(history.begin());
    }
}

void Info2Item::addSubItem(std::shared_ptr<Info2Item> item) {
    insertSubItem(subItems().size(), std::move(item));
}

void Info2Item::insertSubItem(std::size_t index, std::shared_ptr<Info2Item> item) {
    if (!item) {
        return;
    }
    item->m_parent = this;
    auto& children = mutableParts().subItems;
    index = std::min(index, children.size());
    children.insert(children.begin() + static_cast<std::ptrdiff_t>(index), std::move(item));
}

void Info2Item::reserveSubItems(std::size_t count) {
    if (count > 0) {
        mutableParts().subItems.reserve(count);
    }
}

std::shared_ptr<Info2Item> Info2Item::removeSubItem(const Info2Item* item) {
    if (!m_parts) {
        return nullptr;
    }
    auto& children = m_parts->subItems;
    auto it = std::find_if(children.begin(), children.end(),
                           [item](const auto& child) { return child.get() == item; });
    if (it == children.end()) {
        return nullptr;
    }
    std::shared_ptr<Info2Item> removed = std::move(*it);
    children.erase(it);
    removed->m_parent = nullptr;
    return removed;
}

std::size_t Info2Item::countWithDescendants() const {
    std::size_t n = 1;
    for (const auto& child : subItems()) {
        n += child->countWithDescendants();
    }
    return n;
}

std::shared_ptr<Info2Item> Info2Item::findDescendant(const QString& fp) const {
    // Encoded once, so the walk compares stored bytes instead of converting every item's.
    return findEncoded(ItemTexts::encodeFingerprint(fp));
}

std::shared_ptr<Info2Item> Info2Item::findEncoded(QByteArrayView encoded) const {
    for (const auto& child : subItems()) {
        if (child->m_texts.fingerprintIs(encoded)) {
            return child;
        }
        if (auto found = child->findEncoded(encoded)) {
            return found;
        }
    }
    return nullptr;
}

bool Info2Item::sameContent(const Info2Item& o) const {
    const Parts& p = parts();
    const Parts& q = o.parts();
    const bool scalars =
        m_texts == o.m_texts && type == o.type && isFolder == o.isFolder &&
        lastModified == o.lastModified && expiryDate == o.expiryDate && created == o.created &&
        lastAccessed == o.lastAccessed && importance == o.importance && icon == o.icon &&
        secondEye == o.secondEye && autoCompleteMethod == o.autoCompleteMethod &&
        doNotAddon == o.doNotAddon && markAsSafe == o.markAsSafe && safeMode == o.safeMode &&
        rndType == o.rndType && usageCount == o.usageCount && isFavorite == o.isFavorite &&
        isDeleted == o.isDeleted && p.customFields == q.customFields &&
        p.additionalUrls == q.additionalUrls && p.tans == q.tans &&
        p.attachments == q.attachments && p.accessPermissions == q.accessPermissions;
    if (!scalars || p.history.size() != q.history.size() ||
        p.subItems.size() != q.subItems.size()) {
        return false;
    }
    for (std::size_t i = 0; i < p.history.size(); ++i) {
        if (!p.history[i].sameContent(q.history[i])) {
            return false;
        }
    }
    for (std::size_t i = 0; i < p.subItems.size(); ++i) {
        if (!p.subItems[i]->sameContent(*q.subItems[i])) {
            return false;
        }
    }
    return true;
}

} // namespace keskor
