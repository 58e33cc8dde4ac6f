#include "testing/SampleDatabase.h"

#include "core/shared/AccessRights.h"

#include <random>

namespace keskor::testing {

std::shared_ptr<Info2Item> SampleDatabase::fullEntry(int type, int n) {
    auto e = Info2Item::create(type, QStringLiteral("Entry %1 – Zürich & <Co> \"quoted\"").arg(n));
    e->lastModified = 45000.25 + n;
    e->expiryDate = 47000.0 + n;
    e->created = 44000.5;
    e->lastAccessed = 45100.75;
    e->importance = 2 + n % 3;
    e->icon = IconItem{7 + n, true, QByteArray("\x89PNG\r\n\x1a\nicon", 12)};
    e->secondEye = true;
    e->autoCompleteMethod = 2;
    e->doNotAddon = (n % 2) == 0;
    e->markAsSafe = true;
    e->safeMode = true;
    e->rndType = 3;
    e->usageCount = 17 + n;
    e->isFavorite = (n % 3) == 0;
    for (int f = 0; f < static_cast<int>(ItemText::Count); ++f) {
        e->setText(static_cast<ItemText>(f),
                   QStringLiteral("value %1/%2 ünï 🔑\ttab").arg(f).arg(n));
    }
    e->setText(ItemText::Url, QStringLiteral("https://example%1.org/login?a=1&b=2").arg(n));
    e->mutableCustomFields() = {
        PswField{QStringLiteral("PIN"), QStringLiteral("1234"), QStringLiteral("pin-input"), false},
        PswField{QStringLiteral("Notiz"), QStringLiteral("Grüße"), QString(), true}};
    e->mutableAdditionalUrls() = {QStringLiteral("https://a.example.org"),
                         QStringLiteral("https://b.example.org/x")};
    e->mutableTans() = {TanItem{QStringLiteral("1"), QStringLiteral("483920"), 0.0, 0.0, QString(), {}},
               TanItem{QStringLiteral("2"), QStringLiteral("112233"), 45001.5, 99.95,
                       QStringLiteral("rent"), QStringLiteral("CC7")}};
    e->mutableAttachments() = {Attachment{QStringLiteral("scan.pdf"), QStringLiteral("/home/u/scan.pdf"),
                                 45000.0, QByteArray(300, '\x7f') + QByteArray("\0\1\2", 3)}};
    AccessPermission p;
    p.id = QStringLiteral("{PERM-%1}").arg(n);
    p.userId = QStringLiteral("user-7");
    p.grantedBy = QStringLiteral("admin");
    p.validFrom = 45000.0;
    p.validTo = 46000.0;
    p.rights = AccessRights::PWD_ACCESS_READ | AccessRights::PWD_ACCESS_USE;
    p.sealed = true;
    p.approvers = {QStringLiteral("boss"), QStringLiteral("null")};
    e->mutableAccessPermissions() = {p};
    Info2Item older(*e);
    older.setPassword(QStringLiteral("older password %1").arg(n));
    older.mutableHistory().clear();
    e->mutableHistory().push_back(older);
    e->mutableHistory().push_back(older);
    e->mutableHistory().back().setDescription(QStringLiteral("second version"));
    return e;
}

PassFile SampleDatabase::full(PassFile::FileType type) {
    PassFile file = PassFile::createNewFile(type, QStringLiteral("my hint – ö"),
                                            PassFile::AuthenticationType::Password, false);
    file.setKdfParameters(kFastKdfMemory, kFastKdfPasses);
    file.krServer = QStringLiteral("server.example");
    file.serverTime = 45123.5;
    file.serverPort = 25016;
    file.serverUser = QStringLiteral("alice");
    file.offline = true;
    file.encType = 2;
    file.kdfType = 3;
    file.comments = QStringLiteral("Family database");
    file.lastSyncTime = 45000.125;
    file.lastExpiryCheck = 45001.0;
    file.lastModified = 45002.5;
    file.lastBackup = 45003.75;
    file.backupInterval = 5;
    file.backupPath = QStringLiteral("/backups");
    file.backupServer = QStringLiteral("backup.example");
    file.backupLocation = 2;
    file.lastShowEditPass = true;
    file.keepHistory = false;
    file.maxHistory = 9;
    file.serverId = QStringLiteral("db-42");
    file.currentUserId = QStringLiteral("user-7");
    file.userRights = AccessRights::PWD_ACCESS_READ;
    file.allowSaveAs = false;
    file.allowExport = false;
    file.addIgnoredUrl(QStringLiteral("https://ignored.example"));

    auto banking = Info2Item::createFolder(QStringLiteral("Banking"));
    banking->setComment(QStringLiteral("money"));
    auto online = Info2Item::createFolder(QStringLiteral("Online"));
    banking->addSubItem(online);
    for (int type = 1; type <= 13; ++type) {
        (type % 2 ? online : banking)->addSubItem(fullEntry(type, type));
    }
    file.addItem(banking);
    auto trashed = fullEntry(1, 99);
    trashed->isDeleted = true;
    file.addItem(trashed);
    file.addItem(Info2Item::createFolder(QString())); // a folder without a name
    return file;
}

PassFile SampleDatabase::large(std::size_t entries, std::uint64_t seed) {
    PassFile file = PassFile::createNewFile(PassFile::FileType::Plain, std::nullopt,
                                            PassFile::AuthenticationType::Password, false);
    file.setKdfParameters(kFastKdfMemory, kFastKdfPasses);
    std::mt19937_64 rng(seed);
    const auto word = [&rng](int length) {
        static const char letters[] =
            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        QString w;
        w.reserve(length);
        for (int i = 0; i < length; ++i) {
            w += QLatin1Char(letters[rng() % (sizeof letters - 1)]);
        }
        return w;
    };
    // 10 top folders, each with 10 sub-folders, each with 10 more: 1,110 folders.
    std::vector<std::shared_ptr<Info2Item>> leaves;
    for (int a = 0; a < 10; ++a) {
        auto top = Info2Item::createFolder(QStringLiteral("Folder %1").arg(a));
        for (int b = 0; b < 10; ++b) {
            auto mid = Info2Item::createFolder(QStringLiteral("Group %1.%2").arg(a).arg(b));
            for (int c = 0; c < 10; ++c) {
                auto leaf =
                    Info2Item::createFolder(QStringLiteral("Set %1.%2.%3").arg(a).arg(b).arg(c));
                leaves.push_back(leaf);
                mid->addSubItem(leaf);
            }
            top->addSubItem(mid);
        }
        file.addItem(top);
    }
    for (std::size_t i = 0; i < entries; ++i) {
        auto e = Info2Item::create(1 + static_cast<int>(rng() % 12),
                                   QStringLiteral("%1 account %2").arg(word(8)).arg(i));
        e->setUserName(word(6) + QStringLiteral("@mail.example"));
        e->setPassword(word(16));
        e->setUrl(QStringLiteral("https://www.%1.example/login").arg(word(10)));
        if (i % 3 == 0) {
            e->setComment(QStringLiteral("Notes for %1: %2 %3").arg(i).arg(word(20), word(30)));
        }
        if (i % 5 == 0) {
            e->setText(ItemText::Category, QStringLiteral("Category %1").arg(i % 7));
            e->setText(ItemText::Tags, word(5) + QLatin1Char(',') + word(4));
            e->mutableCustomFields().append(PswField{QStringLiteral("PIN"), word(4), QString(), false});
        }
        if (i % 10 == 0) {
            Info2Item older(*e);
            older.setPassword(word(16));
            e->mutableHistory().push_back(std::move(older));
        }
        leaves[i % leaves.size()]->addSubItem(std::move(e));
    }
    return file;
}

} // namespace keskor::testing
