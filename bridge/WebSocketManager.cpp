#include "bridge/WebSocketManager.h"

#include "bridge/CompactJsonWriter.h"
#include "bridge/EntryUrlMatcher.h"
#include "bridge/IgnoredUrls.h"
#include "bridge/WebFormFiller.h"
#include "bridge/WebFormPostFlow.h"
#include "bridge/WebSocketFunctions.h"
#include "bridge/ZenWebSocketServer.h"
#include "core/SessionManager.h"
#include "core/SettingManager.h"
#include "core/shared/AtomicFile.h"
#include "core/shared/ItemTreeScan.h"
#include "core/shared/RightsHelper.h"
#include "platform/Presenter.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringDecoder>
#include <cstdio>

namespace keskor {

namespace {

/// A request value that is a JSON text; other types count as missing.
std::optional<QString> textValue(const QVariantMap& request, const char* key) {
    const QVariant v = request.value(QLatin1String(key));
    if (v.typeId() != QMetaType::QString) {
        return std::nullopt;
    }
    return v.toString();
}

bool sameCommand(const QString& cmd, const char* name) {
    return cmd.compare(QLatin1String(name), Qt::CaseInsensitive) == 0 &&
           cmd.size() == static_cast<qsizetype>(qstrlen(name));
}

QString utf8OrNote(const QByteArray& data, const char* note) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(data);
    return decoder.hasError() ? QString::fromLatin1(note) : text;
}

/// The folders from the first level below the root down to the entry's own, each with a
/// slash, then the entry's description.
QString locationOf(const Info2Item& item) {
    QStringList folders;
    for (const Info2Item* p = item.parent(); p != nullptr && p->parent() != nullptr;
         p = p->parent()) {
        folders.prepend(p->description() + QLatin1Char('/'));
    }
    return folders.join(QString()) + item.description();
}

} // namespace

WebSocketManager::WebSocketManager(SessionManager& session, SettingManager& settings,
                                   Presenter& presenter, TextLookup text)
    : m_session(session), m_settings(settings), m_presenter(presenter), m_text(std::move(text)) {}

WebSocketManager::~WebSocketManager() {
    if (m_socketServer) {
        m_socketServer->setDelegate(nullptr);
    }
}

void WebSocketManager::startServer(int port) {
    if (port < 0 || port > 65535) {
        return; // not a port: nothing starts
    }
    // The keychain is read here, before any request: a read runs a nested event loop, which
    // in the middle of a reply would already serve the next message.
    m_settings.addonProtectPassword();
    m_socketServer = ZenWebSocketServer::initWithPortDelegate(static_cast<quint64>(port), this);
}

void WebSocketManager::restartServer(int port) {
    stopServer();
    startServer(port);
}

void WebSocketManager::stopServer() {
    if (m_socketServer) {
        m_socketServer->setDelegate(nullptr);
    }
    m_socketServer.reset();
}

int WebSocketManager::port() const {
    return m_socketServer ? static_cast<int>(m_socketServer->localPort()) : 0;
}

void WebSocketManager::webSocketServerDidAcceptConnection(ZenWebSocketServer&,
                                                          const std::shared_ptr<AsyncSocket>&) {
    m_password.reset();
}

void WebSocketManager::webSocketServerClientDisconnected(ZenWebSocketServer&,
                                                         const std::shared_ptr<AsyncSocket>&) {
    m_password.reset();
}

void WebSocketManager::webSocketServerCouldNotParseRawData(ZenWebSocketServer&,
                                                           const QByteArray& rawData,
                                                           const std::shared_ptr<AsyncSocket>&,
                                                           const ZenWebSocketServerError& error) {
    std::printf("%s %s\n", qPrintable(error.localizedDescription),
                qPrintable(utf8OrNote(rawData, "No RawData")));
    std::fflush(stdout);
}

void WebSocketManager::webSocketServerDidReceiveData(
    ZenWebSocketServer&, const QByteArray& data, const std::shared_ptr<AsyncSocket>& connection) {
    appendToDebugLog(data);
    m_socketConnection = connection;
    const QJsonDocument doc = QJsonDocument::fromJson(data);
    handleCommand(doc.isObject() ? doc.object().toVariantMap() : QVariantMap());
}

void WebSocketManager::appendToDebugLog(const QByteArray& data) const {
    if (!debug_log_file_path) {
        return;
    }
    // Rewritten whole and atomically, so a reader never sees half a message.
    QFile in(*debug_log_file_path);
    QString text = in.open(QIODevice::ReadOnly) ? QString::fromUtf8(in.readAll()) : QString();
    in.close();
    text += QLatin1Char('\n') + utf8OrNote(data, "No data");
    AtomicFile::write(*debug_log_file_path, text.toUtf8());
}

void WebSocketManager::handleCommand(const QVariantMap& request) {
    const std::optional<QString> cmd = textValue(request, "cmd");
    if (cmd) {
        const bool autoFill = m_settings.addonAutoFill();
        const bool addNew = m_settings.addonAddNewFromWeb();
        if (sameCommand(*cmd, "showKR")) {
            m_presenter.bringToFront();
        } else if (sameCommand(*cmd, "checkState")) {
            checkState(request);
        } else if (sameCommand(*cmd, "ignore")) {
            ignore(request);
        } else if (sameCommand(*cmd, "isIgnoredURL")) {
            isIgnoredURL(request);
        } else if (sameCommand(*cmd, "queryURL")) {
            if (autoFill) {
                queryURL(request);
            }
        } else if (sameCommand(*cmd, "loadWebform")) {
            if (autoFill) {
                loadWebform(request);
            }
        } else if (sameCommand(*cmd, "postWebForm")) {
            if (addNew && !postWebForm(request)) {
                return; // refused by the bridge password: the previous request stays
            }
        } else if (sameCommand(*cmd, "searchEntries")) {
            searchEntries(request);
        } else if (sameCommand(*cmd, "genPassword")) {
            genPassword();
        } else if (sameCommand(*cmd, "editEntry")) {
            editEntry(request);
        }
    }
    m_prevCmdData = request;
}

bool WebSocketManager::isAuthorized(const QVariantMap& request) {
    const std::optional<QString> stored = m_settings.addonProtectPassword();
    if (!stored) {
        return true;
    }
    if (m_password && *m_password == *stored) {
        return true;
    }
    const std::optional<QString> cmd = textValue(request, "cmd");
    if (!cmd) {
        return false;
    }
    if (!sameCommand(*cmd, "queryURL") && !sameCommand(*cmd, "loadWebform") &&
        !sameCommand(*cmd, "postWebForm")) {
        return true;
    }
    if (const std::optional<QString> presented = textValue(request, "password")) {
        m_password = presented;
    }
    return m_password && *m_password == *stored;
}

bool WebSocketManager::isRepeatedPost(const QVariantMap& request) const {
    const auto cmd = textValue(request, "cmd");
    const auto prevCmd = textValue(m_prevCmdData, "cmd");
    if (!cmd || !prevCmd) {
        return false;
    }
    const auto url = textValue(request, "url");
    const auto prevUrl = textValue(m_prevCmdData, "url");
    if (url && prevUrl) {
        return *cmd == QLatin1String("postWebForm") && *cmd == *prevCmd && *url == *prevUrl;
    }
    const auto xml = textValue(request, "xml");
    const auto prevXml = textValue(m_prevCmdData, "xml");
    if (xml && prevXml) {
        return *cmd == *prevCmd && *xml == *prevXml;
    }
    return false;
}

void WebSocketManager::sendReply(const QVariantMap& reply, const QVariantMap& request) {
    QVariantMap message = request;
    if (!isAuthorized(request)) {
        message.insert(QStringLiteral("error"), QStringLiteral("passwordRequired"));
    } else {
        for (auto it = reply.begin(); it != reply.end(); ++it) {
            message.insert(it.key(), it.value());
        }
        message.insert(QStringLiteral("encoding"), QStringLiteral("base64"));
    }
    const QByteArray json = CompactJsonWriter::write(message);
    if (replySink) {
        replySink(json);
    } else if (const auto connection = m_socketConnection.lock()) {
        writeWebSocketFrame(*connection, json);
    }
    appendToDebugLog(json);
}

void WebSocketManager::checkState(const QVariantMap& request) {
    sendReply({{QStringLiteral("state"),
                m_session.isLocked ? QStringLiteral("locked") : QStringLiteral("ready")},
               {QStringLiteral("clientAlive"), QStringLiteral("1")},
               {QStringLiteral("clientVersion"), QStringLiteral("14")}},
              request);
}

void WebSocketManager::ignore(const QVariantMap& request) {
    const auto url = textValue(request, "url");
    if (url && m_session.isDatabaseOpen()) {
        m_session.currentPassFile->addIgnoredUrl(*url);
    }
}

void WebSocketManager::isIgnoredURL(const QVariantMap& request) {
    const auto url = textValue(request, "url");
    if (!url) {
        return;
    }
    if (!m_session.isDatabaseOpen()) {
        sendReply({}, request);
        return;
    }
    const bool ignored = IgnoredUrls::containsIgnoringQuery(*m_session.currentPassFile, *url);
    sendReply({{QStringLiteral("result"), ignored ? 1 : 0}}, request);
}

void WebSocketManager::queryURL(const QVariantMap& request) {
    const auto url = textValue(request, "url");
    if (!url || !m_session.isDatabaseOpen()) {
        return;
    }
    const PassFile& file = *m_session.currentPassFile;
    if (!RightsHelper::checkAddonFill(file, file.root())) {
        return;
    }
    QVariantMap reply;
    if (!IgnoredUrls::containsExactly(file, *url)) {
        const EntryUrlMatcher::Items matches = EntryUrlMatcher::findMatches(file.items(), *url);
        if (!matches.empty()) {
            QJsonArray entries, descrs, users, paths;
            for (const auto& item : matches) {
                entries.append(item->fingerprint());
                descrs.append(item->description());
                users.append(item->userName().value_or(QString()));
                paths.append(locationOf(*item));
            }
            reply = {{QStringLiteral("matches"), QString::number(matches.size())},
                     {QStringLiteral("entries"), entries.toVariantList()},
                     {QStringLiteral("descrs"), descrs.toVariantList()},
                     {QStringLiteral("users"), users.toVariantList()},
                     {QStringLiteral("paths"), paths.toVariantList()}};
        }
    }
    sendReply(reply, request);
}

void WebSocketManager::loadWebform(const QVariantMap& request) {
    const auto xml = textValue(request, "xml");
    const auto url = textValue(request, "url");
    if (!xml || !url || !m_session.isDatabaseOpen()) {
        return;
    }
    const PassFile& file = *m_session.currentPassFile;
    if (!RightsHelper::checkAddonFill(file, file.root())) {
        return;
    }
    const auto uuid = textValue(request, "uuid");
    const WebFormFiller::Key key =
        WebFormFiller::chooseKey(uuid, m_loadedFingerprint, m_loadedUrl, *url);
    const QVariantMap reply = WebFormFiller::fill(&file, key, *xml);
    m_loadedFingerprint = uuid;
    m_loadedUrl = url;
    sendReply(reply, request);
}

bool WebSocketManager::postWebForm(const QVariantMap& request) {
    if (isRepeatedPost(request)) {
        return true;
    }
    const auto title = textValue(request, "title");
    const auto url = textValue(request, "url");
    const auto xml = textValue(request, "xml");
    if (!title || !url || !xml || !m_session.isDatabaseOpen()) {
        return true;
    }
    const PassFile& file = *m_session.currentPassFile;
    if (IgnoredUrls::containsExactly(file, *url) ||
        !RightsHelper::checkAddonSuggestion(file, file.root())) {
        return true;
    }
    if (!isAuthorized(request)) {
        return false;
    }
    const WebFormPostFlow::Decision decision =
        WebFormPostFlow::decide(file, *title, *url, *xml, m_loadedFingerprint);
    if (decision.action == WebFormPostFlow::Action::addEntry) {
        QVariantMap values{{QStringLiteral("title"), decision.title},
                           {QStringLiteral("url"), decision.url},
                           {QStringLiteral("userName"), decision.userName}};
        if (decision.form) {
            values.insert(QStringLiteral("form"), QVariant::fromValue(*decision.form));
        }
        m_presenter.openDialog(QStringLiteral("WebSocketAddEntryViewController"), values);
    } else if (decision.action == WebFormPostFlow::Action::updatePassword && decision.entry) {
        m_presenter.openDialog(QStringLiteral("WebSocketPasswordUpdateViewController"),
                               {{QStringLiteral("uuid"), decision.entry->fingerprint()},
                                {QStringLiteral("url"), decision.url},
                                {QStringLiteral("userName"), decision.userName},
                                {QStringLiteral("password"), decision.password}});
    }
    return true;
}

void WebSocketManager::searchEntries(const QVariantMap& request) {
    const auto term = textValue(request, "term");
    if (m_session.isLocked || !term) {
        return;
    }
    if (!m_session.isDatabaseOpen()) {
        sendReply({}, request);
        return;
    }
    QVariantList entries;
    if (!term->isEmpty()) {
        QString scratch;
        ItemTreeScan::forEach(
            m_session.currentPassFile->items(), [&](const std::shared_ptr<Info2Item>& item) {
                // One buffer for every text of the scan: converting reuses its capacity.
                const auto contains = [&](bool present) {
                    return present && scratch.contains(*term, Qt::CaseInsensitive);
                };
                if (contains(item->textStore().readDescription(scratch)) ||
                    contains(item->readText(ItemText::Url, scratch)) ||
                    contains(item->readText(ItemText::UserName, scratch))) {
                    entries.append(QVariantMap{
                        {QStringLiteral("name"), item->description()},
                        {QStringLiteral("uuid"), item->fingerprint()},
                        {QStringLiteral("url"), item->url().value_or(QString())},
                        {QStringLiteral("user"), item->userName().value_or(QString())}});
                }
            });
    }
    sendReply({{QStringLiteral("matches"), entries.size()}, {QStringLiteral("entries"), entries}},
              request);
}

void WebSocketManager::genPassword() {
    m_presenter.bringToFront();
    m_presenter.openDialog(QStringLiteral("PasswordGeneratorViewController"), {});
}

void WebSocketManager::editEntry(const QVariantMap& request) {
    const auto uuid = textValue(request, "uuid");
    if (!uuid || m_session.isLocked || !m_session.isDatabaseOpen()) {
        return;
    }
    const auto item = m_session.currentPassFile->findItem(*uuid);
    if (!item || item->type == 6 || item->type == 7) {
        return;
    }
    m_presenter.bringToFront();
    m_presenter.openDialog(
        QStringLiteral("EntryDetailViewController"),
        {{QStringLiteral("uuid"), item->fingerprint()},
         {QStringLiteral("title"),
          m_text(QStringLiteral("properties_of")) + QStringLiteral(" ") + item->description()}});
}

} // namespace keskor
