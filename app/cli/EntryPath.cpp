#include "app/cli/EntryPath.h"

#include "core/shared/CommonException.h"
#include "core/shared/PassFile.h"

namespace keskor {

QStringList EntryPath::split(const QString& path) {
    QStringList parts;
    QString current;
    for (qsizetype i = 0; i < path.size(); ++i) {
        const QChar c = path[i];
        if (c == u'\\' && i + 1 < path.size()) {
            current += path[++i];
        } else if (c == u'/') {
            if (!current.isEmpty()) {
                parts.append(current);
            }
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.isEmpty()) {
        parts.append(current);
    }
    return parts;
}

QString EntryPath::escape(const QString& name) {
    if (!name.contains(u'\\') && !name.contains(u'/')) {
        return name; // the usual case, without a copy
    }
    QString out = name;
    out.replace(u'\\', QStringLiteral("\\\\"));
    out.replace(u'/', QStringLiteral("\\/"));
    return out;
}

QString EntryPath::of(const Info2Item& item) {
    QStringList parts{escape(item.description())};
    for (const Info2Item* p = item.parent(); p && p->parent(); p = p->parent()) {
        parts.prepend(escape(p->description()));
    }
    return parts.join(u'/');
}

EntryPath::Items EntryPath::find(const PassFile& file, const QString& path) {
    const QStringList parts = split(path);
    if (parts.isEmpty()) {
        return {};
    }
    Items level = file.items();
    for (qsizetype i = 0; i < parts.size(); ++i) {
        Items matches;
        for (const auto& item : level) {
            if (item->description() == parts[i] && (i + 1 == parts.size() || item->isFolder)) {
                matches.push_back(item);
            }
        }
        if (i + 1 == parts.size()) {
            return matches;
        }
        level.clear();
        for (const auto& folder : matches) {
            level.insert(level.end(), folder->subItems().begin(), folder->subItems().end());
        }
    }
    return {};
}

std::shared_ptr<Info2Item> EntryPath::folder(const PassFile& file, const QString& path) {
    if (split(path).isEmpty()) {
        return nullptr;
    }
    Items folders;
    for (const auto& item : find(file, path)) {
        if (item->isFolder) {
            folders.push_back(item);
        }
    }
    if (folders.empty()) {
        throw CommonException(QStringLiteral("No folder \"%1\" in the database.").arg(path));
    }
    if (folders.size() > 1) {
        throw CommonException(QStringLiteral("%1 folders are called \"%2\"; rename one first.")
                                  .arg(folders.size())
                                  .arg(path));
    }
    return folders.front();
}

std::shared_ptr<Info2Item> EntryPath::one(const PassFile& file, const QString& path) {
    const Items items = find(file, path);
    if (items.empty()) {
        throw CommonException(QStringLiteral("No entry \"%1\" in the database.").arg(path));
    }
    if (items.size() > 1) {
        QString text = QStringLiteral("\"%1\" names %2 items; choose one with --uuid:")
                           .arg(path)
                           .arg(items.size());
        for (const auto& item : items) {
            text += QStringLiteral("\n  %1  %2").arg(item->fingerprint(), of(*item));
        }
        throw CommonException(text);
    }
    return items.front();
}

} // namespace keskor
