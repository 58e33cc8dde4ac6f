#pragma once
// One page of a Microsoft Graph folder listing (a "value" array and "@odata.nextLink"): the
// database files on it and the address of the next page. The answer comes from the network,
// so nothing in it is trusted to be well formed.

#include "core/IRemoteStorage.h"

#include <QByteArray>
#include <QUrl>
#include <optional>

namespace keskor {

class GraphListing {
public:
    struct Page {
        IRemoteStorage::FileList files;
        /// Empty on the last page.
        QUrl next;
    };

    /// Nothing when the body is not a listing. Only items named like databases are kept, and
    /// none whose name could leave the working folder or name a Qt resource; a size below zero
    /// reads as unknown.
    static std::optional<Page> parse(const QByteArray& body);

    /// Whether `next` may be fetched with the token that fetched `page`: the same scheme,
    /// host and port, so a listing cannot send the token anywhere else.
    static bool sameOrigin(const QUrl& page, const QUrl& next);
};

} // namespace keskor
