#pragma once
// The local copy of a cloud database: the file `name` in its location's working folder, which a
// download replaces whole and an upload reads. Shared by the providers.

#include "core/Location.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace keskor {

class AppPaths;

class WorkingCopy {
public:
    /// The copy's path, the folder made when missing; empty when the folder cannot be made or
    /// `name` is not a plain file name (empty, "." or ".."), so a listed name never points
    /// outside the folder.
    static QString path(const AppPaths& paths, Location location, const QString& name);
    /// Replaces the copy in one step, owner-only; false leaves the previous copy as it was.
    static bool write(const QString& path, const QByteArray& bytes);
    /// The copy's bytes; nothing, with `error` set to the reason, when it cannot be read.
    static std::optional<QByteArray> read(const QString& path, QString* error);
};

} // namespace keskor
