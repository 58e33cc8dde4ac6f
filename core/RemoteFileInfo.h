#pragma once
// One file on a remote store, as listed by its storage. Shared by reference between the file
// browser, the session and the providers, which set `modified` and `size` after listing.

#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>

namespace keskor {

class RemoteFileInfo {
public:
    explicit RemoteFileInfo(QString path, std::optional<QString> id = std::nullopt);

    const QString path;
    const std::optional<QString> id;
    /// Always the last component of `path`.
    const QString name;
    std::optional<QDateTime> modified;
    /// Bytes; 0 means unknown.
    qint64 size = 0;

    /// Empty for an unknown size; bytes, KB or MB with the localised unit otherwise.
    QString sizeString(const std::function<QString(const QString&)>& text) const;
    /// Empty without a date; "MM/dd/yyyy hh:mm:ss a" otherwise.
    QString modifiedString() const;
};

} // namespace keskor
