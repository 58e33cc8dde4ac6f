#pragma once
// A keychain in memory for unit tests.

#include "platform/Keychain.h"

#include <QHash>

namespace keskor {

class MemoryKeychain : public Keychain {
public:
    void set(const QString& key, const QString& text) override { m_items.insert(key, text); }
    std::optional<QString> get(const QString& key) override;
    void remove(const QString& key) override { m_items.remove(key); }

    const QHash<QString, QString>& items() const noexcept { return m_items; }

private:
    QHash<QString, QString> m_items;
};

} // namespace keskor
