#pragma once
// Secrets in a JSON file readable only by the user (mode 0600, folder 0700), used when no
// Secret Service is reachable (a headless session, a minimal desktop). The file is rewritten
// atomically on every change, so a crash leaves either the old or the new content. A file that
// cannot be parsed is moved aside to "<file>.broken" rather than overwritten.

#include "platform/Keychain.h"

#include <QJsonObject>

namespace keskor {

class FileKeychain : public Keychain {
public:
    explicit FileKeychain(QString path);

    void set(const QString& key, const QString& text) override;
    std::optional<QString> get(const QString& key) override;
    void remove(const QString& key) override;

    QString path() const { return m_path; }

private:
    QJsonObject readItems();
    void writeItems(const QJsonObject& items);

    QString m_path;
};

} // namespace keskor
