#pragma once
// Runs the operations of a remote storage to their callbacks in the event loop, for the
// provider tests.

#include "core/IRemoteStorage.h"

#include <QStringList>
#include <QTest>
#include <gtest/gtest.h>

namespace keskor::test {

/// Runs `op` until it has called back `expected` times, and a moment longer to catch a call too
/// many; its failure texts joined by "|" ("(empty)" for an empty one), empty on success.
inline QString
runRemote(const std::function<void(IRemoteStorage::Success, IRemoteStorage::Failure)>& op,
          int expected = 1) {
    int calls = 0;
    QStringList failures;
    op([&] { ++calls; },
       [&](const QString& m) {
           ++calls;
           failures << (m.isEmpty() ? QStringLiteral("(empty)") : m);
       });
    EXPECT_TRUE(QTest::qWaitFor([&] { return calls >= expected; }, 20000));
    QTest::qWait(10);
    EXPECT_EQ(calls, expected);
    return failures.join(QLatin1Char('|'));
}

/// The listing; an empty list, and a test failure, when the listing fails.
inline IRemoteStorage::FileList listRemote(IRemoteStorage& storage) {
    IRemoteStorage::FileList files;
    const QString failure = runRemote([&](auto done, auto failed) {
        storage.listFiles(
            [&, done](IRemoteStorage::FileList l) {
                files = std::move(l);
                done();
            },
            failed);
    });
    EXPECT_EQ(failure.toStdString(), "");
    return files;
}

} // namespace keskor::test
