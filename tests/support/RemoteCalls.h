#pragma once
// Runs the operations of a remote storage (the cloud providers, the enterprise server) to their
// callbacks in the event loop.

#include "core/IRemoteStorage.h"

#include <QStringList>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace keskor::test {

using RemoteOp = std::function<void(IRemoteStorage::Success, IRemoteStorage::Failure)>;

/// Runs `op` until it has called back `expected` times, and a moment longer to catch a call too
/// many; its failure texts joined by "|" ("(empty)" for an empty one), empty on success.
inline QString runRemote(const RemoteOp& op, int expected = 1) {
    // Shared with the callbacks, so one that comes after a timed-out wait harms nothing.
    struct Calls {
        int count = 0;
        QStringList failures;
    };
    const auto calls = std::make_shared<Calls>();
    op([calls] { ++calls->count; },
       [calls](const QString& m) {
           ++calls->count;
           calls->failures << (m.isEmpty() ? QStringLiteral("(empty)") : m);
       });
    EXPECT_TRUE(QTest::qWaitFor([&] { return calls->count >= expected; }, 20000));
    QTest::qWait(20);
    EXPECT_EQ(calls->count, expected);
    return calls->failures.join(QLatin1Char('|'));
}

/// The listing. Its failure text goes to `failure`; without one, a failure fails the test.
inline IRemoteStorage::FileList listRemote(IRemoteStorage& storage, QString* failure = nullptr) {
    const auto files = std::make_shared<IRemoteStorage::FileList>();
    const QString f = runRemote([&](auto done, auto failed) {
        storage.listFiles(
            [files, done](IRemoteStorage::FileList l) {
                *files = std::move(l);
                done();
            },
            failed);
    });
    if (failure) {
        *failure = f;
    } else {
        EXPECT_EQ(f.toStdString(), "");
    }
    return *files;
}

} // namespace keskor::test
