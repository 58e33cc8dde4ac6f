#pragma once
// What the provider tests share: the services a storage is built from, a browser that follows
// the sign-in redirects, the working copies, and running one operation to its single callback.

#include "core/FileFunctions.h"
#include "core/IRemoteStorage.h"
#include "core/SessionManager.h"
#include "platform/AppPaths.h"
#include "platform/MemoryKeychain.h"
#include "storage/HttpClient.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTest>
#include <gtest/gtest.h>

namespace keskor::test {

class CloudStorageFixture : public ::testing::Test {
protected:
    static QString key(const QString& k) { return k; }
    /// The system browser: it fetches the page, which sends it back to the loopback listener.
    std::function<void(const QUrl&)> browserOpener() {
        return [this](const QUrl& url) {
            ++browserOpens;
            QNetworkReply* reply = browser.get(QNetworkRequest(url));
            QObject::connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
        };
    }
    QString copyPath(Location location, const QString& name) const {
        return QDir(FileFunctions::workingFolder(paths, location, {}, true)).filePath(name);
    }
    void writeCopy(Location location, const QString& name, const QByteArray& bytes) const {
        QFile f(copyPath(location, name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray readCopy(Location location, const QString& name) const {
        QFile f(copyPath(location, name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
    }
    /// Runs one operation; its failure text ("(empty)" for an empty one), empty on success.
    QString wait(const std::function<void(IRemoteStorage::Success, IRemoteStorage::Failure)>& op) {
        int calls = 0;
        QString failure;
        op([&] { ++calls; },
           [&](const QString& m) {
               ++calls;
               failure = m.isEmpty() ? QStringLiteral("(empty)") : m;
           });
        EXPECT_TRUE(QTest::qWaitFor([&] { return calls > 0; }, 20000));
        QTest::qWait(20);
        EXPECT_EQ(calls, 1);
        return failure;
    }
    IRemoteStorage::FileList list(IRemoteStorage& storage, QString* failure = nullptr) {
        IRemoteStorage::FileList files;
        const QString f = wait([&](auto done, auto failed) {
            storage.listFiles(
                [&, done](IRemoteStorage::FileList l) {
                    files = std::move(l);
                    done();
                },
                failed);
        });
        if (failure) {
            *failure = f;
        }
        return files;
    }

    TempDir dir;
    AppPaths paths{dir.path()};
    SessionManager session;
    MemoryKeychain keychain;
    QNetworkAccessManager network;
    QNetworkAccessManager browser;
    HttpClient http{network, &CloudStorageFixture::key};
    int browserOpens = 0;
};

} // namespace keskor::test
