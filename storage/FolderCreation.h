#pragma once
// Making a provider's databases folder once a listing did not find it (Box, HiDrive): the
// answer names the new folder's id, and a 409 means the folder was made meanwhile, by another
// listing or another device, so it is looked up again rather than reported.

#include "storage/HttpClient.h"

#include <QString>
#include <functional>

namespace keskor {

class TokenPairSession;

class FolderCreation {
public:
    /// Sends `create` through `tokens`; `found` gets the new folder's id, `lookAgain` runs on a
    /// 409, and an answer without an id fails with `noIdText`.
    static void send(TokenPairSession& tokens, HttpClient::Request create, const QString& noIdText,
                     std::function<void(const QString& id)> found,
                     std::function<void(const QString& message)> failure,
                     std::function<void()> lookAgain);
};

} // namespace keskor
