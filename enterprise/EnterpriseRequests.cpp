#include "enterprise/EnterpriseRequests.h"

#include "core/shared/CommonException.h"
#include "core/shared/Credentials.h"
#include "core/shared/LMDKey.h"
#include "core/shared/PassFileCodec.h"

#include <QStringDecoder>

namespace keskor {

namespace {

TCSDataPacket make(const IProtocol& protocol, ProtocolCommand command) {
    TCSDataPacket packet(protocol);
    packet.setCommand(protocol.commandCode(command));
    return packet;
}

} // namespace

std::optional<QString> EnterpriseRequests::utf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) {
        return std::nullopt;
    }
    return text;
}

TCSDataPacket EnterpriseRequests::keyExchangeStart(const IProtocol& protocol) {
    TCSDataPacket packet = make(protocol, ProtocolCommand::keyExchangeStart);
    const quint32 flags = IProtocol::dataTransportIntKeys | IProtocol::dataTransportDataKeys |
                          IProtocol::dataTransportECDH;
    packet.setText1(QString::number(flags, 16).toUpper());
    return packet;
}

TCSDataPacket EnterpriseRequests::keyExchangeFinish(const IProtocol& protocol,
                                                    const QString& publicKeyPem) {
    TCSDataPacket packet = make(protocol, ProtocolCommand::keyExchangeFinish);
    packet.setData2(publicKeyPem.toUtf8());
    return packet;
}

TCSDataPacket EnterpriseRequests::serverInfo(const IProtocol& protocol) {
    return make(protocol, ProtocolCommand::serverInfo);
}

TCSDataPacket EnterpriseRequests::login(const IProtocol& protocol, const QString& userName,
                                        const std::optional<QString>& password,
                                        const ConnectionData2FA& dataTFA) {
    TCSDataPacket packet = make(protocol, ProtocolCommand::login);
    packet.setText1(dataTFA.toString());
    packet.setText2(userName);
    packet.setText3(password.value_or(QString()));
    return packet;
}

TCSDataPacket EnterpriseRequests::azureLogin(const IProtocol& protocol, const QString& tenant,
                                             const QString& accessToken,
                                             const ConnectionData2FA& dataTFA) {
    TCSDataPacket packet = make(protocol, ProtocolCommand::azureLogin);
    packet.setText1(dataTFA.toString());
    packet.setText2(tenant);
    packet.setText3(accessToken);
    return packet;
}

TCSDataPacket EnterpriseRequests::changePassword(const IProtocol& protocol, const QString& userName,
                                                 const QString& oldPassword,
                                                 const QString& newPassword) {
    TCSDataPacket packet = make(protocol, ProtocolCommand::changePassword);
    packet.setText1(userName);
    packet.setText2(oldPassword);
    packet.setText3(newPassword);
    return packet;
}

TCSDataPacket EnterpriseRequests::activate2FA(const IProtocol& protocol, const QString& userName,
                                              const ConnectionData2FA& dataTFA) {
    TCSDataPacket packet = make(protocol, ProtocolCommand::activate2FA);
    packet.setText1(dataTFA.toString());
    packet.setText2(userName);
    return packet;
}

TCSDataPacket EnterpriseRequests::listDatabases(const IProtocol& protocol) {
    return make(protocol, ProtocolCommand::listDatabases);
}

TCSDataPacket EnterpriseRequests::downloadDatabase(const IProtocol& protocol, const QString& name) {
    TCSDataPacket packet = make(protocol, ProtocolCommand::downloadDatabase);
    packet.setText1(name);
    return packet;
}

TCSDataPacket EnterpriseRequests::entryEdit(const IProtocol& protocol, ProtocolCommand command,
                                            const QString& serverId, const QString& itemId,
                                            const QString& parentId, const QByteArray& item) {
    TCSDataPacket packet = make(protocol, command);
    packet.setText1(serverId);
    packet.setText2(itemId);
    packet.setText3(parentId);
    packet.setData2(item);
    return packet;
}

TCSDataPacket EnterpriseRequests::grantAccess(const IProtocol& protocol, const QString& serverId,
                                              const QString& itemId,
                                              const AccessPermission& permission) {
    TCSDataPacket packet = make(protocol, ProtocolCommand::grantAccess);
    packet.setText1(serverId);
    packet.setText2(itemId);
    packet.setText3(permission.serialize());
    return packet;
}

TCSDataPacket EnterpriseRequests::revokeAccess(const IProtocol& protocol, const QString& serverId,
                                               const QString& permissionId) {
    TCSDataPacket packet = make(protocol, ProtocolCommand::revokeAccess);
    packet.setText1(serverId);
    packet.setText2(permissionId);
    return packet;
}

TCSDataPacket EnterpriseRequests::sealedAccessRequest(const IProtocol& protocol,
                                                      const QString& serverId,
                                                      const QString& itemId,
                                                      const QString& permissionId,
                                                      const QString& reason) {
    TCSDataPacket packet = make(protocol, ProtocolCommand::sealedAccessRequest);
    packet.setText1(serverId);
    packet.setText2(itemId);
    packet.setText3(reason);
    packet.setData2(permissionId.toUtf8());
    return packet;
}

Key256 EnterpriseRequests::sessionKey(const QString& commonSecretHex) {
    const Credentials credentials(commonSecretHex, std::nullopt);
    return LMDKey::generateLMDKey(Key256(), credentials.password().toByteArray());
}

// ---- server side ----------------------------------------------------------------------------

std::optional<EnterpriseRequests::Login>
EnterpriseRequests::parseLogin(const TCSDataPacket& request) {
    auto dataTFA = ConnectionData2FA::fromString(request.text1());
    if (!dataTFA || request.text2().isEmpty()) {
        return std::nullopt;
    }
    return Login{request.text2(), request.text3(), *dataTFA};
}

std::optional<quint32> EnterpriseRequests::parseKeyExchangeStart(const TCSDataPacket& request) {
    bool ok = false;
    const quint32 flags = request.text1().toUInt(&ok, 16);
    if (!ok) {
        return std::nullopt;
    }
    return flags;
}

QString EnterpriseRequests::parseKeyExchangeFinish(const TCSDataPacket& request) {
    return utf8(request.data2()).value_or(QString());
}

std::optional<EnterpriseRequests::PasswordChange>
EnterpriseRequests::parseChangePassword(const TCSDataPacket& request) {
    if (request.text1().isEmpty() || request.text3().isEmpty()) {
        return std::nullopt;
    }
    return PasswordChange{request.text1(), request.text2(), request.text3()};
}

std::optional<EnterpriseRequests::Login>
EnterpriseRequests::parseActivate2FA(const TCSDataPacket& request) {
    auto dataTFA = ConnectionData2FA::fromString(request.text1());
    if (!dataTFA || !dataTFA->code() || request.text2().isEmpty()) {
        return std::nullopt;
    }
    return Login{request.text2(), QString(), *dataTFA};
}

bool EnterpriseRequests::isEntryEdit(ProtocolCommand command) {
    switch (command) {
    case ProtocolCommand::addItem:
    case ProtocolCommand::updateItem:
    case ProtocolCommand::deleteItem:
    case ProtocolCommand::moveItem:
    case ProtocolCommand::addFolder:
    case ProtocolCommand::updateFolder:
    case ProtocolCommand::deleteFolder:
    case ProtocolCommand::moveFolder:
        return true;
    default:
        return false;
    }
}

bool EnterpriseRequests::editCarriesItem(ProtocolCommand command) {
    return command == ProtocolCommand::addItem || command == ProtocolCommand::updateItem ||
           command == ProtocolCommand::addFolder || command == ProtocolCommand::updateFolder;
}

std::optional<EnterpriseRequests::EntryEdit>
EnterpriseRequests::parseEntryEdit(const IProtocol& protocol, const TCSDataPacket& request) {
    const auto command = protocol.commandFromCode(request.command());
    if (!command || !isEntryEdit(*command) || request.text2().isEmpty()) {
        return std::nullopt;
    }
    EntryEdit edit{*command, request.text1(), request.text2(), request.text3(), std::nullopt};
    if (editCarriesItem(*command)) {
        try {
            edit.item = PassFileCodec::parseItem(request.data2());
        } catch (const CommonException&) {
            return std::nullopt;
        }
        const bool folderCommand =
            *command == ProtocolCommand::addFolder || *command == ProtocolCommand::updateFolder;
        if (edit.item->fingerprint() != edit.itemId || edit.item->isFolder != folderCommand) {
            return std::nullopt;
        }
    }
    return edit;
}

std::optional<EnterpriseRequests::Grant>
EnterpriseRequests::parseGrantAccess(const TCSDataPacket& request) {
    auto permission = AccessPermission::deserialize(request.text3());
    if (!permission || request.text2().isEmpty()) {
        return std::nullopt;
    }
    return Grant{request.text1(), request.text2(), *permission};
}

std::optional<EnterpriseRequests::Revoke>
EnterpriseRequests::parseRevokeAccess(const TCSDataPacket& request) {
    if (request.text2().isEmpty()) {
        return std::nullopt;
    }
    return Revoke{request.text1(), request.text2()};
}

std::optional<EnterpriseRequests::SealedRequest>
EnterpriseRequests::parseSealedAccessRequest(const TCSDataPacket& request) {
    auto permissionId = utf8(request.data2());
    if (!permissionId || permissionId->isEmpty() || request.text2().isEmpty()) {
        return std::nullopt;
    }
    return SealedRequest{request.text1(), request.text2(), *permissionId, request.text3()};
}

TCSDataPacket EnterpriseRequests::answer(const IProtocol& protocol, const TCSDataPacket& request,
                                         std::int32_t result, const QString& text) {
    TCSDataPacket packet(protocol);
    packet.setCommand(request.command());
    packet.setResult(result);
    if (!text.isEmpty()) {
        packet.setData1(text.toUtf8());
    }
    return packet;
}

void EnterpriseRequests::setKeyExchangeStartAnswer(TCSDataPacket& answer, int curveNid,
                                                   const QString& publicKeyPem) {
    answer.setData1(QByteArray::number(curveNid));
    answer.setData2(publicKeyPem.toUtf8());
}

void EnterpriseRequests::setDatabaseList(TCSDataPacket& answer,
                                         const QList<QPair<QString, QString>>& list) {
    QStringList lines;
    for (const auto& [path, id] : list) {
        lines << path + QLatin1Char('=') + id;
    }
    answer.setData2(lines.join(QLatin1String("\r\n")).toUtf8());
}

void EnterpriseRequests::setTwoFactorNotActivated(TCSDataPacket& answer, const QByteArray& qrImage,
                                                  const QString& secret) {
    answer.setResult(IProtocol::TWO_FACTOR_CODE_NOT_ACTIVATED);
    answer.setData2(qrImage);
    answer.setData3(secret.toUtf8());
}

void EnterpriseRequests::setTwoFactorRequired(TCSDataPacket& answer, const QString& trustField,
                                              const QString& text) {
    answer.setResult(IProtocol::TWO_FACTOR_CODE_REQUIRED);
    answer.setData1(text.toUtf8());
    answer.setData2(trustField.toUtf8());
}

// ---- client side ----------------------------------------------------------------------------

EnterpriseRequests::KeyExchangeStartAnswer
EnterpriseRequests::parseKeyExchangeStartAnswer(const TCSDataPacket& answer) {
    KeyExchangeStartAnswer result;
    bool ok = false;
    const int nid = utf8(answer.data1()).value_or(QString()).trimmed().toInt(&ok);
    result.curveNid = ok ? nid : 0;
    result.publicKeyPem = utf8(answer.data2()).value_or(QString());
    return result;
}

IRemoteStorage::FileList EnterpriseRequests::parseDatabaseList(const TCSDataPacket& answer) {
    IRemoteStorage::FileList files;
    const QString text = utf8(answer.data2()).value_or(QString());
    for (const QString& line : text.split(QLatin1String("\r\n"), Qt::SkipEmptyParts)) {
        const QStringList parts = line.split(QLatin1Char('='));
        if (parts.size() != 2) {
            continue;
        }
        files.push_back(std::make_shared<RemoteFileInfo>(parts[0], parts[1]));
    }
    return files;
}

QString EnterpriseRequests::failureText(const TCSDataPacket& answer) {
    return utf8(answer.data1()).value_or(QString());
}

} // namespace keskor
