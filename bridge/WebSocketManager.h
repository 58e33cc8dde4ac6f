#pragma once
// The application side of the browser bridge: owns the WebSocket server, decodes each message
// as a JSON command, runs it against the open database and answers on the connection that
// asked. Everything here runs on the main thread, one message at a time.

#include "bridge/ZenWebSocketServerDelegate.h"
#include "core/IWebSocketManager.h"

#include <QString>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <optional>

namespace keskor {

class AsyncSocket;
class Presenter;
class SessionManager;
class SettingManager;
class ZenWebSocketServer;

class WebSocketManager : public IWebSocketManager, private ZenWebSocketServerDelegate {
public:
    using TextLookup = std::function<QString(const QString& key)>;

    WebSocketManager(SessionManager& session, SettingManager& settings, Presenter& presenter,
                     TextLookup text);
    ~WebSocketManager() override;

    // IWebSocketManager
    void startServer(int port) override;
    void restartServer(int port) override;
    void stopServer() override;
    int port() const override;

    /// Runs one decoded request; replies go to `socketConnection`.
    void handleCommand(const QVariantMap& request);
    /// The bridge password check: no stored password, the one presented before, or the one in
    /// this request.
    bool isAuthorized(const QVariantMap& request);
    /// Whether a "postWebForm" request repeats the previous request.
    bool isRepeatedPost(const QVariantMap& request) const;
    /// The answer: the request overlaid with the reply, or "passwordRequired".
    void sendReply(const QVariantMap& reply, const QVariantMap& request);

    /// Every received message and reply is appended here when set (debugging only).
    std::optional<QString> debug_log_file_path;
    /// Where replies go; tests may set their own sink instead of a connection.
    std::function<void(const QByteArray& json)> replySink;

    ZenWebSocketServer* socketServer() const { return m_socketServer.get(); }
    const QVariantMap& prevCmdData() const { return m_prevCmdData; }

private:
    void
    webSocketServerDidAcceptConnection(ZenWebSocketServer& server,
                                       const std::shared_ptr<AsyncSocket>& connection) override;
    void webSocketServerDidReceiveData(ZenWebSocketServer& server, const QByteArray& data,
                                       const std::shared_ptr<AsyncSocket>& connection) override;
    void webSocketServerClientDisconnected(ZenWebSocketServer& server,
                                           const std::shared_ptr<AsyncSocket>& connection) override;
    void webSocketServerCouldNotParseRawData(ZenWebSocketServer& server, const QByteArray& rawData,
                                             const std::shared_ptr<AsyncSocket>& connection,
                                             const ZenWebSocketServerError& error) override;

    void checkState(const QVariantMap& request);
    void ignore(const QVariantMap& request);
    void isIgnoredURL(const QVariantMap& request);
    void queryURL(const QVariantMap& request);
    void loadWebform(const QVariantMap& request);
    /// False when the post was refused by the bridge password (the request is then not kept).
    bool postWebForm(const QVariantMap& request);
    void searchEntries(const QVariantMap& request);
    void genPassword();
    void editEntry(const QVariantMap& request);
    void appendToDebugLog(const QByteArray& data) const;

    SessionManager& m_session;
    SettingManager& m_settings;
    Presenter& m_presenter;
    TextLookup m_text;
    std::unique_ptr<ZenWebSocketServer> m_socketServer;
    std::weak_ptr<AsyncSocket> m_socketConnection;
    std::optional<QString> m_password;
    QVariantMap m_prevCmdData;
    std::optional<QString> m_loadedFingerprint;
    std::optional<QString> m_loadedUrl;
};

} // namespace keskor
