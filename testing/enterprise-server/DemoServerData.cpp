#include "testing/enterprise-server/DemoServerData.h"

#include "core/shared/Info2Item.h"
#include "testing/SampleDatabase.h"
#include "testing/enterprise-server/EnterpriseServer.h"

#include <openssl/rand.h>

namespace keskor::testing {

namespace {

QString randomPassword() {
    static const char alphabet[] = "abcdefghijkmnopqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789";
    unsigned char bytes[14];
    RAND_bytes(bytes, sizeof bytes);
    QString password;
    for (unsigned char b : bytes) {
        password.append(QLatin1Char(alphabet[b % (sizeof alphabet - 1)]));
    }
    return password;
}

PassFile teamDatabase() {
    PassFile file = PassFile::createNewFile(PassFile::FileType::Plain, std::nullopt,
                                            PassFile::AuthenticationType::Password, false);
    auto folder = Info2Item::createFolder(QStringLiteral("Infrastructure"));
    auto entry = Info2Item::create(Info2Item::TypePassword, QStringLiteral("Build server"));
    entry->setUserName(QStringLiteral("ci"));
    entry->setPassword(randomPassword());
    entry->setUrl(QStringLiteral("https://build.example.org"));
    folder->addSubItem(entry);
    file.addItem(folder);
    return file;
}

} // namespace

QStringList DemoServerData::seedIfEmpty(EnterpriseServer& server, QString* error) {
    if (!server.users().users().isEmpty() || !server.databases().databases().isEmpty()) {
        return {};
    }
    const QString demoPassword = randomPassword();
    const QString colleaguePassword = randomPassword();
    // Roles: database admin for the demo user, none for the colleague to share entries with.
    const std::optional<QString> demo = server.users().addUser(QStringLiteral("demo"), demoPassword,
                                                               QStringLiteral("Demo User"), 4);
    const std::optional<QString> colleague = server.users().addUser(
        QStringLiteral("colleague"), colleaguePassword, QStringLiteral("A. Colleague"), 0);
    if (!demo || !colleague || !server.users().save(error)) {
        if (error->isEmpty()) {
            *error = QStringLiteral("the demo users cannot be made");
        }
        return {};
    }
    if (!server.databases().add(QStringLiteral("Demo/Every kind"), SampleDatabase::full(), {},
                                error) ||
        !server.databases().add(QStringLiteral("Team/Infrastructure"), teamDatabase(),
                                {*demo, *colleague}, error)) {
        return {};
    }
    return {QStringLiteral("Made demo users and databases in the empty data folder."),
            QStringLiteral("Sign in as \"demo\" with the password %1").arg(demoPassword),
            QStringLiteral("      or \"colleague\" with the password %1").arg(colleaguePassword),
            QStringLiteral("(shown once; add users with --add-user NAME --password-stdin).")};
}

} // namespace keskor::testing
