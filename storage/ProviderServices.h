#pragma once
// What a cloud provider is given by the composition root: the working folders, the session (for
// the file being saved), the keychain for its tokens, the HTTP client, the text lookup and the
// way to open the system browser.

#include "storage/HttpClient.h"

#include <QUrl>
#include <functional>

namespace keskor {

class AppPaths;
class Keychain;
class SessionManager;

struct ProviderServices {
    const AppPaths& paths;
    SessionManager& session;
    Keychain& keychain;
    HttpClient& http;
    HttpClient::TextLookup text;
    std::function<void(const QUrl& url)> openBrowser;
};

} // namespace keskor
