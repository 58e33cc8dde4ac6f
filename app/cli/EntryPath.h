#pragma once
// Names entries and folders on the command line by their folder path and description,
// "Banking/Online/My bank". A "/" inside a name is written "\/", a backslash "\\".

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace keskor {

class Info2Item;
class PassFile;

class EntryPath {
public:
    using Items = std::vector<std::shared_ptr<Info2Item>>;

    /// The components of a path; empty components (doubled or outer slashes) are dropped.
    static QStringList split(const QString& path);
    /// The path of an item, from the top of the database.
    static QString of(const Info2Item& item);
    /// Escapes one name for a path.
    static QString escape(const QString& name);

    /// Every item reached by the path: folders by name down to the last component, which
    /// names an entry or a folder. Several items may share a path.
    static Items find(const PassFile& file, const QString& path);
    /// The folder the path names; null for the empty path (the top of the database). Throws
    /// CommonException when no folder or more than one has that path.
    static std::shared_ptr<Info2Item> folder(const PassFile& file, const QString& path);
    /// The one entry or folder of the path; throws CommonException listing the candidates when
    /// the path is ambiguous, and when nothing has it.
    static std::shared_ptr<Info2Item> one(const PassFile& file, const QString& path);
};

} // namespace keskor
