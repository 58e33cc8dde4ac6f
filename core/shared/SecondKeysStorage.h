#pragma once
// Keys opened during a session by second passwords, by the identifier they belong to.
// Never written to the file: they live as long as the open database.

#include "core/shared/Key256.h"

#include <QString>
#include <map>
#include <optional>

namespace keskor {

class SecondKeysStorage {
public:
    void add(const QString& id, const Key256& key) { m_keys.insert_or_assign(id, key); }
    std::optional<Key256> get(const QString& id) const;
    bool contains(const QString& id) const { return m_keys.count(id) != 0; }
    void remove(const QString& id) { m_keys.erase(id); }
    void clear() { m_keys.clear(); }
    std::size_t size() const { return m_keys.size(); }

private:
    std::map<QString, Key256> m_keys;
};

} // namespace keskor
