#pragma once
// What the provider tests share: the services a storage is built from, a browser that follows
// the sign-in redirects, the working copies, and the storage's operations run to their callback.

#include "core/FileFunctions.h"
#include "core/SessionManager.h"
#include "platform/AppPaths.h"
#include "platform/MemoryKeychain.h"
#include "storage/HttpClient.h"
#include "tests/support/RemoteCalls.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <gtest/gtest.h>

namespace keskor::test {

template <typename Storage> class CloudStorageFixture : public ::testing::Test {
protected:
    using Files = IRemoteStorage::FileList;

    explicit CloudStorageFixture(Location where) : location(where) {}
    void TearDown() override { storage.reset(); }

    static QString key(const QString& k) { return k; }
    /// The system browser: it fetches the page, which sends it back to the loopback listener.
    std::function<void(const QUrl&)> browserOpener() {
        return [this](const QUrl& url) {
            ++browserOpens;
            QNetworkReply* reply = browser.get(QNetworkRequest(url));
            QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
        };
    }
    QString copyPath(const QString& name) const {
        return QDir(FileFunctions::workingFolder(paths, location, {}, true)).filePath(name);
    }
    void writeCopy(const QString& name, const QByteArray& bytes) const {
        QFile f(copyPath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray readCopy(const QString& name) const {
        QFile f(copyPath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
    }

    // Each operation's failure text, empty on success.
    static QString wait(const RemoteOp& op, int expected = 1) { return runRemote(op, expected); }
    QString signIn() {
        return wait([&](auto d, auto f) { storage->login(d, f); });
    }
    QString save() {
        return wait([&](auto d, auto f) { storage->saveCurrentFile(d, f); });
    }
    QString download(const std::shared_ptr<RemoteFileInfo>& file) {
        return wait([&](auto d, auto f) { storage->downloadFile(file, d, f); });
    }
    QString remove(const Files& files, int expected = 1) {
        return wait([&](auto d, auto f) { storage->deleteFiles(files, d, f); }, expected);
    }
    /// The listing; without `failure`, a failed listing fails the test.
    Files list(QString* failure = nullptr) { return listRemote(*storage, failure); }

    const Location location;
    TempDir dir;
    AppPaths paths{dir.path()};
    SessionManager session;
    MemoryKeychain keychain;
    QNetworkAccessManager network;
    QNetworkAccessManager browser;
    HttpClient http{network, &CloudStorageFixture::key};
    int browserOpens = 0;
    std::unique_ptr<Storage> storage;
};

} // namespace keskor::test
