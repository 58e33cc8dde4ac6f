#pragma once
// Builders for the item trees the suites arrange, and look-ups of what they compare.

#include "core/shared/Info2Item.h"
#include "core/shared/PassFile.h"

#include <QStringList>
#include <initializer_list>

namespace keskor::test {

using Items = std::initializer_list<std::shared_ptr<Info2Item>>;

/// A password entry; a user name or password left out stays unset.
inline std::shared_ptr<Info2Item> entry(const QString& name, const QString& user = {},
                                        const QString& password = {}) {
    auto e = Info2Item::create(Info2Item::TypePassword, name);
    if (!user.isNull()) {
        e->setUserName(user);
    }
    if (!password.isNull()) {
        e->setPassword(password);
    }
    return e;
}

/// A folder holding `items`, in order.
inline std::shared_ptr<Info2Item> folder(const QString& name, Items items) {
    auto f = Info2Item::createFolder(name);
    for (const auto& item : items) {
        f->addSubItem(item);
    }
    return f;
}

/// Adds `items` to the top level of the file, in order.
inline void addAll(PassFile& file, Items items) {
    for (const auto& item : items) {
        file.addItem(item);
    }
}

/// The first item of that description below `root`, depth first; null when there is none.
inline std::shared_ptr<Info2Item> find(const Info2Item& root, const QString& description) {
    for (const auto& child : root.subItems()) {
        if (child->description() == description) {
            return child;
        }
        if (auto found = find(*child, description)) {
            return found;
        }
    }
    return nullptr;
}

/// The descriptions of `items`, in order.
template <typename Range> QStringList descriptions(const Range& items) {
    QStringList out;
    for (const auto& item : items) {
        out << item->description();
    }
    return out;
}

} // namespace keskor::test
