#pragma once
// The local copy of a remote database: the file of its name in the working folder of its
// location. A download writes it, an upload reads it. Remote names come from the service and
// are not trusted: a name that is not one plain file name ("a/b", "..") has no local copy, so a
// listed file can never write outside its folder.

#include "core/Location.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace keskor {

class AppPaths;

class WorkingCopy {
public:
    /// A name that can stand for one file inside a folder.
    static bool isPlainName(const QString& name);
    /// The copy's path; empty when the folder cannot be made or the name is not plain.
    static QString path(const AppPaths& paths, Location location, const QString& name);
    /// The bytes of the copy of `name`, as an upload sends them. No value when there is no
    /// copy for the name (`error` left empty) or it cannot be read (`error` says why).
    static std::optional<QByteArray> load(const AppPaths& paths, Location location,
                                          const QString& name, QString* error);
    /// Replaces the copy atomically; a failed write leaves the previous one.
    static bool write(const QString& path, const QByteArray& bytes);
};

} // namespace keskor
