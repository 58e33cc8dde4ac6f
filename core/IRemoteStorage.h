#pragma once
// The common interface of every remote store (cloud drives, the enterprise server). The
// workflows, the location bar and the remote file browser talk only to this. Of the two
// callbacks of an operation exactly one is called, once, on the main thread; the failure
// callback gets a text fit to show (or a localisation key of the enterprise storage).

#include "core/RemoteFileInfo.h"

#include <QString>
#include <QUrl>
#include <functional>
#include <memory>
#include <vector>

namespace keskor {

class IRemoteStorage {
public:
    using Success = std::function<void()>;
    using Failure = std::function<void(const QString& message)>;
    using FileList = std::vector<std::shared_ptr<RemoteFileInfo>>;

    virtual ~IRemoteStorage() = default;

    virtual void login(Success success, Failure failure) = 0;
    /// Finishes a browser sign-in; storages without one ignore it.
    virtual void handleRedirect(const QUrl& url) = 0;
    /// Answered at once, without network traffic.
    virtual bool isLoggedIn() const = 0;
    virtual void logout() = 0;
    virtual void listFiles(std::function<void(FileList)> success, Failure failure) = 0;
    /// Writes the file under its name into the location's working folder, replacing what is
    /// there.
    virtual void downloadFile(std::shared_ptr<RemoteFileInfo> file, Success success,
                              Failure failure) = 0;
    /// Uploads the session's working copy back to the remote file it came from.
    virtual void saveCurrentFile(Success success, Failure failure) = 0;
    virtual void deleteFiles(FileList files, Success success, Failure failure) = 0;
};

} // namespace keskor
