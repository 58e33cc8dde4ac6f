#pragma once
// The download of a working copy from a content route that answers with the bytes or with a
// redirect to a pre-authenticated address on another host (OneDrive, Box). The redirect is
// fetched without our token, which must not travel to the download host; an empty answer is
// never a database and does not replace the working copy.

#include "core/IRemoteStorage.h"
#include "storage/HttpClient.h"

#include <QString>
#include <functional>

namespace keskor {

class RedirectedDownload {
public:
    /// Sends a request with the account's token (refreshing it as the provider does).
    using SendAuthorised =
        std::function<void(HttpClient::Request, HttpClient::Done, HttpClient::Failed)>;

    /// Fetches `content` into the working copy `target`; every failure reports `failedText`.
    static void fetch(const SendAuthorised& send, HttpClient& http, HttpClient::Request content,
                      const QString& target, const QString& failedText,
                      IRemoteStorage::Success success, IRemoteStorage::Failure failure);
};

} // namespace keskor
