#include "storage/FolderCreation.h"

#include "storage/TokenPairSession.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace keskor {

void FolderCreation::send(TokenPairSession& tokens, HttpClient::Request create,
                          const QString& noIdText, std::function<void(const QString& id)> found,
                          std::function<void(const QString& message)> failure,
                          std::function<void()> lookAgain) {
    tokens.send(
        std::move(create),
        [noIdText, found, failure](const HttpClient::Response& made) {
            const QString id =
                QJsonDocument::fromJson(made.body).object().value(QStringLiteral("id")).toString();
            if (id.isEmpty()) {
                failure(noIdText);
                return;
            }
            found(id);
        },
        [failure, lookAgain](const QString& message, int status) {
            if (status == 409) {
                lookAgain();
                return;
            }
            failure(message);
        });
}

} // namespace keskor
