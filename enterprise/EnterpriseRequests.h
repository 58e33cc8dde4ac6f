#pragma once
// The packet layout of every enterprise request and of the answers the client reads, in one
// place: the client builds requests and reads answers with it, the reference server reads
// requests and builds answers with it, so the two sides cannot drift apart.
//
// Requests (command code from IProtocol; unlisted texts and data stay empty):
//   keyExchangeStart   text 1 = the offered transport flags in upper-case hex ("%X")
//   keyExchangeFinish  data 2 = the client's public key, PEM, UTF-8
//   serverInfo, listDatabases  no parameters
//   login              text 1 = two-factor data (JSON), text 2 = user name, text 3 = password
//   azureLogin         text 1 = two-factor data, text 2 = tenant, text 3 = access token
//   changePassword     text 1 = user name, text 2 = old password, text 3 = new password;
//                      success only changes it, the client then logs in again
//   activate2FA        text 1 = two-factor data with the first code, text 2 = user name;
//                      success completes the pending log-in on that connection
//   downloadDatabase   text 1 = the database's name
//   per-entry edits    text 1 = the database's server identifier, text 2 = the item or folder
//                      identifier, text 3 = the (new) parent's identifier, empty for the root,
//                      data 2 = the item in PassFileCodec's item form (adds and updates)
//   grantAccess        text 1 = server identifier, text 2 = entry, text 3 = the permission
//   revokeAccess       text 1 = server identifier, text 2 = the permission's identifier
//   sealedAccessRequest text 1 = server identifier, text 2 = entry, text 3 = the reason,
//                      data 2 = the sealed permission's identifier, UTF-8
// Answers: a failure carries its text in data 1 (UTF-8). Key-exchange start: data 1 = the
// curve NID in decimal, data 2 = the server's public key PEM. List: data 2 = "path=id" lines
// joined by CR LF. Open: data 2 = the database file text. Server information: data 2 = JSON.
// Two factor not activated: data 2 = QR image, data 3 = the secret; two factor required:
// data 2 = the trust field ("-1" when the device may be trusted).

#include "core/IRemoteStorage.h"
#include "core/shared/AccessPermission.h"
#include "core/shared/ConnectionData2FA.h"
#include "core/shared/IProtocol.h"
#include "core/shared/Info2Item.h"
#include "core/shared/TCSDataPacket.h"

#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>
#include <optional>

namespace keskor {

class EnterpriseRequests {
public:
    // ---- requests the client builds ---------------------------------------------------------
    static TCSDataPacket keyExchangeStart(const IProtocol& protocol);
    static TCSDataPacket keyExchangeFinish(const IProtocol& protocol, const QString& publicKeyPem);
    static TCSDataPacket serverInfo(const IProtocol& protocol);
    static TCSDataPacket login(const IProtocol& protocol, const QString& userName,
                               const std::optional<QString>& password,
                               const ConnectionData2FA& dataTFA);
    static TCSDataPacket azureLogin(const IProtocol& protocol, const QString& tenant,
                                    const QString& accessToken, const ConnectionData2FA& dataTFA);
    static TCSDataPacket changePassword(const IProtocol& protocol, const QString& userName,
                                        const QString& oldPassword, const QString& newPassword);
    static TCSDataPacket activate2FA(const IProtocol& protocol, const QString& userName,
                                     const ConnectionData2FA& dataTFA);
    static TCSDataPacket listDatabases(const IProtocol& protocol);
    static TCSDataPacket downloadDatabase(const IProtocol& protocol, const QString& name);
    /// One per-entry edit; `item` is PassFileCodec::serializeItem's form for the adds and
    /// updates, empty for deletes and moves.
    static TCSDataPacket entryEdit(const IProtocol& protocol, ProtocolCommand command,
                                   const QString& serverId, const QString& itemId,
                                   const QString& parentId, const QByteArray& item = {});
    static TCSDataPacket grantAccess(const IProtocol& protocol, const QString& serverId,
                                     const QString& itemId, const AccessPermission& permission);
    static TCSDataPacket revokeAccess(const IProtocol& protocol, const QString& serverId,
                                      const QString& permissionId);
    static TCSDataPacket sealedAccessRequest(const IProtocol& protocol, const QString& serverId,
                                             const QString& itemId, const QString& permissionId,
                                             const QString& reason);

    /// The packet key both sides derive from the ECDH secret (upper-case hex) once the key
    /// exchange finished.
    static Key256 sessionKey(const QString& commonSecretHex);

    // ---- requests as the server reads them (nothing when a parameter is malformed) ----------
    struct Login {
        /// The user name, or the tenant for an Azure log-in.
        QString userName;
        /// The password, or the access token.
        QString password;
        ConnectionData2FA dataTFA;
    };
    static std::optional<Login> parseLogin(const TCSDataPacket& request);
    static std::optional<quint32> parseKeyExchangeStart(const TCSDataPacket& request);
    static QString parseKeyExchangeFinish(const TCSDataPacket& request);
    struct PasswordChange {
        QString userName;
        QString oldPassword;
        QString newPassword;
    };
    static std::optional<PasswordChange> parseChangePassword(const TCSDataPacket& request);
    static std::optional<Login> parseActivate2FA(const TCSDataPacket& request);

    /// The commands that edit one entry or folder.
    static bool isEntryEdit(ProtocolCommand command);
    /// Whether the edit carries the item itself.
    static bool editCarriesItem(ProtocolCommand command);
    struct EntryEdit {
        ProtocolCommand command;
        QString serverId;
        QString itemId;
        QString parentId;
        std::optional<Info2Item> item;
    };
    /// Nothing for a command that is not an edit, a missing identifier, a missing or damaged
    /// item where one belongs, or an item whose identifier differs from text 2.
    static std::optional<EntryEdit> parseEntryEdit(const IProtocol& protocol,
                                                   const TCSDataPacket& request);
    struct Grant {
        QString serverId;
        QString itemId;
        AccessPermission permission;
    };
    static std::optional<Grant> parseGrantAccess(const TCSDataPacket& request);
    struct Revoke {
        QString serverId;
        QString permissionId;
    };
    static std::optional<Revoke> parseRevokeAccess(const TCSDataPacket& request);
    struct SealedRequest {
        QString serverId;
        QString itemId;
        QString permissionId;
        QString reason;
    };
    static std::optional<SealedRequest> parseSealedAccessRequest(const TCSDataPacket& request);

    // ---- answers the server builds ------------------------------------------------------------
    /// An answer to `request` (its command copied) with `result`; data 1 = `text` on failure.
    static TCSDataPacket answer(const IProtocol& protocol, const TCSDataPacket& request,
                                std::int32_t result = IProtocol::ERR_SUCCESS,
                                const QString& text = {});
    static void setKeyExchangeStartAnswer(TCSDataPacket& answer, int curveNid,
                                          const QString& publicKeyPem);
    /// (path, id) pairs.
    static void setDatabaseList(TCSDataPacket& answer, const QList<QPair<QString, QString>>& list);
    static void setTwoFactorNotActivated(TCSDataPacket& answer, const QByteArray& qrImage,
                                         const QString& secret);
    static void setTwoFactorRequired(TCSDataPacket& answer, const QString& trustField,
                                     const QString& text);

    // ---- answers as the client reads them ------------------------------------------------------
    struct KeyExchangeStartAnswer {
        /// 0 when data 1 is not a number.
        int curveNid = 0;
        /// Empty when data 2 is not UTF-8.
        QString publicKeyPem;
    };
    static KeyExchangeStartAnswer parseKeyExchangeStartAnswer(const TCSDataPacket& answer);
    /// Lines that do not split at "=" into exactly two parts are skipped.
    static IRemoteStorage::FileList parseDatabaseList(const TCSDataPacket& answer);
    /// The failure text of an answer: data 1 as UTF-8, empty when missing or not UTF-8.
    static QString failureText(const TCSDataPacket& answer);
    /// Data `n` as strict UTF-8; nothing when the bytes are not UTF-8.
    static std::optional<QString> utf8(const QByteArray& bytes);
};

} // namespace keskor
