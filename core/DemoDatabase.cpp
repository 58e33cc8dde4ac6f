#include "core/DemoDatabase.h"

#include "core/EntryType.h"

namespace keskor {

namespace {

std::shared_ptr<Info2Item> entry(EntryType type, const QString& description, const QString& user,
                                 const QString& url) {
    auto e = Info2Item::create(int(type), description);
    e->setUserName(user);
    e->setUrl(url);
    e->setPassword(QStringLiteral("demo-%1").arg(description.size() * 7919));
    return e;
}

} // namespace

PassFile DemoDatabase::create() {
    PassFile file = PassFile::createNewFile(PassFile::FileType::Zip, QStringLiteral("the demo"),
                                            PassFile::AuthenticationType::Password, false);
    file.comments = QStringLiteral("Demonstration database");
    auto banking = Info2Item::createFolder(QStringLiteral("Banking"));
    auto online = Info2Item::createFolder(QStringLiteral("Online"));
    online->addSubItem(entry(EntryType::Password, QStringLiteral("My bank"),
                             QStringLiteral("alice"),
                             QStringLiteral("https://bank.example/login")));
    banking->addSubItem(online);
    auto card = entry(EntryType::CreditCard, QStringLiteral("Credit card"),
                      QStringLiteral("Alice Example"), QString());
    card->mutableCustomFields().append(
        PswField{QStringLiteral("Card number"), QStringLiteral("4111 1111 1111 1111"), {}, true});
    card->isFavorite = true;
    banking->addSubItem(card);
    file.addItem(banking);
    auto mail = Info2Item::createFolder(QStringLiteral("E-mail"));
    mail->addSubItem(entry(EntryType::Password, QStringLiteral("Mail account"),
                           QStringLiteral("alice@mail.example"),
                           QStringLiteral("https://mail.example")));
    file.addItem(mail);
    auto server = entry(EntryType::Putty, QStringLiteral("Build server"), QStringLiteral("alice"),
                        QStringLiteral("build.example"));
    server->setText(ItemText::Category, QStringLiteral("Work"));
    file.addItem(server);
    auto note = Info2Item::create(int(EntryType::Information), QStringLiteral("Wi-Fi at home"));
    note->setComment(QStringLiteral("Network: Example-Home"));
    file.addItem(note);
    auto old = entry(EntryType::Password, QStringLiteral("Old forum"), QStringLiteral("alice"),
                     QStringLiteral("https://forum.example"));
    old->isDeleted = true;
    file.addItem(old);
    return file;
}

} // namespace keskor
