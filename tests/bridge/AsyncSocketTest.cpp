#include "bridge/AsyncSocket.h"

#include "bridge/SocketThread.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <functional>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

using namespace keskor;

namespace {

// Records the callbacks, which arrive on the socket thread; the test reads them on the main
// thread under the lock.
class RecordingSocketDelegate : public AsyncSocketDelegate {
public:
    struct Read {
        QByteArray data;
        long tag;
    };

    void socketDidAcceptNewSocket(AsyncSocket&, const std::shared_ptr<AsyncSocket>& s) override {
        std::lock_guard lock(mutex);
        accepted.push_back(s);
        onSocketThreadOnly &= thread && thread->isCurrent();
    }
    void socketDidReadData(AsyncSocket&, const QByteArray& data, long tag) override {
        {
            std::lock_guard lock(mutex);
            reads.push_back({data, tag});
            onSocketThreadOnly &= thread && thread->isCurrent();
        }
        if (readArrived) {
            std::exchange(readArrived, nullptr)();
        }
    }
    void socketDidWriteDataWithTag(AsyncSocket&, long tag) override {
        std::lock_guard lock(mutex);
        writes.push_back(tag);
    }
    void socketDidDisconnect(AsyncSocket&, const QString& error) override {
        std::lock_guard lock(mutex);
        disconnects.push_back(error);
    }

    template <typename Pred> bool waitFor(Pred pred, int timeoutMs = 5000) {
        return QTest::qWaitFor(
            [&]() {
                std::lock_guard lock(mutex);
                return pred();
            },
            timeoutMs);
    }

    std::shared_ptr<SocketThread> thread;
    /// Called once, on the socket thread, after the next read.
    std::function<void()> readArrived;
    std::mutex mutex;
    std::vector<std::shared_ptr<AsyncSocket>> accepted;
    std::vector<Read> reads;
    std::vector<long> writes;
    std::vector<QString> disconnects;
    bool onSocketThreadOnly = true;
};

class AsyncSocketTest : public ::testing::Test {
protected:
    void SetUp() override {
        thread = std::make_shared<SocketThread>(QStringLiteral("test sockets"));
        delegate.thread = thread;
        listener = AsyncSocket::create(&delegate, thread);
        QString error;
        ASSERT_TRUE(listener->acceptOnPort(0, &error)) << error.toStdString();
        client.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        client.connectToHost(QHostAddress::LocalHost, listener->localPort());
        ASSERT_TRUE(client.waitForConnected(5000));
        ASSERT_TRUE(delegate.waitFor([&]() { return delegate.accepted.size() == 1; }));
        connection = delegate.accepted.front();
    }
    void TearDown() override {
        connection.reset();
        {
            std::lock_guard lock(delegate.mutex);
            delegate.accepted.clear();
        }
        listener.reset();
        thread->stop();
    }

    void sendFromClient(const QByteArray& bytes) {
        client.write(bytes);
        client.flush();
    }
    /// Sends a request and returns the moment it has been read, so that what the test does next
    /// is an answer, as from the bridge's main thread.
    bool receiveRequest() {
        std::promise<void> read;
        delegate.readArrived = [&read]() { read.set_value(); };
        connection->readData(1);
        sendFromClient("request");
        return read.get_future().wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    }
    bool waitForClientBytes(qsizetype n, QByteArray& into, int timeoutMs = 5000) {
        return QTest::qWaitFor(
            [&]() {
                into += client.readAll();
                return into.size() >= n;
            },
            timeoutMs);
    }

    RecordingSocketDelegate delegate;
    std::shared_ptr<SocketThread> thread;
    std::shared_ptr<AsyncSocket> listener;
    std::shared_ptr<AsyncSocket> connection;
    QTcpSocket client;
};

TEST_F(AsyncSocketTest, ExactLengthReadsCompleteInRequestOrderWhateverTheSegments) {
    connection->readDataToLength(3, 10);
    connection->readDataToLength(4, 11);
    connection->readDataToLength(3, 12);
    for (const char* piece : {"a", "bcde", "fg", "hij"}) {
        sendFromClient(piece);
        QTest::qWait(0);
    }
    ASSERT_TRUE(delegate.waitFor([&]() { return delegate.reads.size() == 3; }));
    std::lock_guard lock(delegate.mutex);
    EXPECT_EQ(delegate.reads[0].data, QByteArray("abc"));
    EXPECT_EQ(delegate.reads[0].tag, 10);
    EXPECT_EQ(delegate.reads[1].data, QByteArray("defg"));
    EXPECT_EQ(delegate.reads[1].tag, 11);
    EXPECT_EQ(delegate.reads[2].data, QByteArray("hij"));
    EXPECT_EQ(delegate.reads[2].tag, 12);
    EXPECT_TRUE(delegate.onSocketThreadOnly);
}

TEST_F(AsyncSocketTest, BytesNobodyAsksForStayWithTheSenderUntilARead) {
    // Far more than both kernels buffer on loopback: unless the connection takes it all into
    // memory, the client is left holding some.
    QByteArray flood(32 * 1024 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < flood.size(); ++i) {
        flood[i] = char(i * 7 % 251);
    }
    client.write(flood);
    EXPECT_FALSE(QTest::qWaitFor([&]() { return client.bytesToWrite() == 0; }, 1000))
        << "the connection buffered everything it was sent";
    connection->readDataToLength(flood.size(), 1);
    ASSERT_TRUE(delegate.waitFor([&]() { return delegate.reads.size() == 1; }, 20000));
    std::lock_guard lock(delegate.mutex);
    EXPECT_TRUE(delegate.reads[0].data == flood);
}

TEST_F(AsyncSocketTest, TerminatorReadsStopAfterTheTerminatorOrAtTheirMaximumLength) {
    connection->readDataToData("\r\n\r\n", 100, 1);
    connection->readDataToLength(4, 2);
    connection->readDataToData("\r\n", 8, 3);
    sendFromClient("GET / HTTP/1.1\r");
    QTest::qWait(0);
    sendFromClient("\n\r\nrest0123456789\r\n");
    ASSERT_TRUE(delegate.waitFor([&]() { return delegate.reads.size() == 3; }));
    std::lock_guard lock(delegate.mutex);
    EXPECT_EQ(delegate.reads[0].data, QByteArray("GET / HTTP/1.1\r\n\r\n"));
    EXPECT_EQ(delegate.reads[1].data, QByteArray("rest"));
    EXPECT_EQ(delegate.reads[2].data, QByteArray("01234567"));
}

// Without a request before them the writes are queued on the socket thread; right after one,
// as an answer is, the first goes into the kernel at once and the rest must still follow it.
class AsyncSocketOrderedWriteTest : public AsyncSocketTest,
                                    public ::testing::WithParamInterface<bool> {};

TEST_P(AsyncSocketOrderedWriteTest, WritesArriveInOrderAndCompleteWithTheirTags) {
    if (GetParam()) {
        ASSERT_TRUE(receiveRequest());
    }
    // The large write overflows the kernel's buffers: the writes behind it must wait for it.
    const QByteArray large(8 * 1024 * 1024, 't');
    connection->writeData("one,", 7);
    connection->writeData(QByteArray(), 8);
    connection->writeData(large, 9);
    connection->writeData(",three", 10);
    connection->writeData(",four", 11);
    QByteArray received;
    ASSERT_TRUE(waitForClientBytes(4 + large.size() + 6 + 5, received, 20000));
    EXPECT_EQ(received, "one," + large + ",three,four");
    ASSERT_TRUE(delegate.waitFor([&]() { return delegate.writes.size() == 5; }));
    std::lock_guard lock(delegate.mutex);
    EXPECT_EQ(delegate.writes, (std::vector<long>{7, 8, 9, 10, 11}));
}

INSTANTIATE_TEST_SUITE_P(AfterARequest, AsyncSocketOrderedWriteTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Yes" : "No";
                         });

TEST_F(AsyncSocketTest, WritesFromSeveralThreadsStayWholeAndInEachThreadsOrder) {
    constexpr int writers = 3;
    constexpr int perWriter = 300;
    std::vector<std::thread> threads;
    for (int w = 0; w < writers; ++w) {
        threads.emplace_back([this, w]() {
            for (int i = 0; i < perWriter; ++i) {
                // Now and then a write the kernel cannot take at once.
                const int padding = i % 50 == 49 ? 300000 : 40;
                connection->writeData(QStringLiteral("<%1:%2:%3>")
                                          .arg(w)
                                          .arg(i)
                                          .arg(QString(padding, QLatin1Char('.')))
                                          .toLatin1(),
                                      w * perWriter + i);
            }
        });
    }
    QByteArray received;
    const auto expectedSize = [&]() {
        qsizetype size = 0;
        for (int w = 0; w < writers; ++w) {
            for (int i = 0; i < perWriter; ++i) {
                size +=
                    QStringLiteral("<%1:%2:>").arg(w).arg(i).size() + (i % 50 == 49 ? 300000 : 40);
            }
        }
        return size;
    }();
    const bool complete = waitForClientBytes(expectedSize, received, 30000);
    for (auto& thread : threads) {
        thread.join();
    }
    ASSERT_TRUE(complete) << received.size() << " of " << expectedSize;
    std::vector<int> next(writers, 0);
    for (const QByteArray& message : received.split('>')) {
        if (message.isEmpty()) {
            continue;
        }
        const QList<QByteArray> parts = message.split(':');
        ASSERT_EQ(parts.size(), 3) << "a message cut by another: " << message.left(40).data();
        ASSERT_TRUE(parts[0].startsWith('<'));
        const int w = parts[0].mid(1).toInt();
        ASSERT_TRUE(w >= 0 && w < writers);
        EXPECT_EQ(parts[1].toInt(), next[w]++);
    }
    EXPECT_EQ(next, std::vector<int>(writers, perWriter));
    ASSERT_TRUE(delegate.waitFor(
        [&]() { return delegate.writes.size() == std::size_t(writers * perWriter); }, 10000));
    std::lock_guard lock(delegate.mutex);
    std::vector<long> last(writers, -1);
    for (const long tag : delegate.writes) {
        EXPECT_GT(tag, last[std::size_t(tag / perWriter)]);
        last[std::size_t(tag / perWriter)] = tag;
    }
}

// An answer written from another thread right after its request goes into the kernel at once;
// its completion must still come, whatever happens next on the connection.
enum class AfterTheWrite { PeerSendsMore, Disconnect, PeerCloses };

struct DirectWriteCase {
    const char* name;
    AfterTheWrite after;
};

class AsyncSocketDirectWriteTest : public AsyncSocketTest,
                                   public ::testing::WithParamInterface<DirectWriteCase> {};

TEST_P(AsyncSocketDirectWriteTest, CompletesWithItsTag) {
    const DirectWriteCase& c = GetParam();
    ASSERT_TRUE(receiveRequest());
    connection->writeData("answer", 7);
    if (c.after == AfterTheWrite::Disconnect) {
        connection->disconnect(); // before the socket thread has had a chance to see the write
    }
    QByteArray received;
    ASSERT_TRUE(waitForClientBytes(6, received));
    EXPECT_EQ(received, QByteArray("answer"));
    if (c.after == AfterTheWrite::PeerSendsMore) {
        connection->readData(2);
        sendFromClient("next");
    } else if (c.after == AfterTheWrite::PeerCloses) {
        client.disconnectFromHost();
    }
    ASSERT_TRUE(delegate.waitFor([&]() { return !delegate.writes.empty(); }));
    if (c.after == AfterTheWrite::Disconnect || c.after == AfterTheWrite::PeerCloses) {
        ASSERT_TRUE(delegate.waitFor([&]() { return delegate.disconnects.size() == 1; }));
    }
    std::lock_guard lock(delegate.mutex);
    EXPECT_EQ(delegate.writes, (std::vector<long>{7}));
}

INSTANTIATE_TEST_SUITE_P(
    WhatFollows, AsyncSocketDirectWriteTest,
    ::testing::Values(DirectWriteCase{"TheNextRequest", AfterTheWrite::PeerSendsMore},
                      DirectWriteCase{"ADisconnect", AfterTheWrite::Disconnect},
                      DirectWriteCase{"ThePeersClose", AfterTheWrite::PeerCloses}),
    [](const ::testing::TestParamInfo<DirectWriteCase>& info) { return info.param.name; });

TEST_F(AsyncSocketTest, DisconnectAfterWritingDeliversEverythingFirst) {
    const QByteArray payload(1024 * 1024, 'd');
    connection->writeData(payload, 1);
    connection->disconnectAfterWriting();
    connection->writeData("ignored", 2);
    QByteArray received;
    ASSERT_TRUE(QTest::qWaitFor(
        [&]() {
            received += client.readAll();
            return client.state() == QAbstractSocket::UnconnectedState;
        },
        5000));
    received += client.readAll();
    EXPECT_EQ(received, payload);
    ASSERT_TRUE(delegate.waitFor([&]() { return delegate.disconnects.size() == 1; }));
    std::lock_guard lock(delegate.mutex);
    EXPECT_EQ(delegate.writes, (std::vector<long>{1}));
}

TEST_F(AsyncSocketTest, DisconnectDropsPendingReadsAndReportsOnce) {
    connection->readDataToLength(10, 1);
    connection->disconnect();
    connection->writeData("after the close", 2);
    connection->disconnect();
    ASSERT_TRUE(delegate.waitFor([&]() { return delegate.disconnects.size() == 1; }));
    sendFromClient("0123456789");
    ASSERT_TRUE(QTest::qWaitFor(
        [&]() { return client.state() == QAbstractSocket::UnconnectedState; }, 5000));
    EXPECT_EQ(client.readAll(), QByteArray());
    std::lock_guard lock(delegate.mutex);
    EXPECT_TRUE(delegate.reads.empty());
    EXPECT_TRUE(delegate.writes.empty());
    EXPECT_EQ(delegate.disconnects.size(), 1u);
    EXPECT_TRUE(delegate.disconnects[0].isEmpty());
}

TEST_F(AsyncSocketTest, PeerCloseWithAnUnsatisfiedReadReportsTheDisconnect) {
    connection->readDataToLength(10, 1);
    sendFromClient("short");
    client.disconnectFromHost();
    ASSERT_TRUE(delegate.waitFor([&]() { return delegate.disconnects.size() == 1; }));
    std::lock_guard lock(delegate.mutex);
    EXPECT_TRUE(delegate.reads.empty());
    EXPECT_FALSE(delegate.disconnects[0].isEmpty());
}

TEST_F(AsyncSocketTest, BytesBufferedBeforeThePeerClosedStillServeReads) {
    sendFromClient("abcdef");
    client.disconnectFromHost();
    ASSERT_TRUE(QTest::qWaitFor(
        [&]() { return client.state() == QAbstractSocket::UnconnectedState; }, 5000));
    connection->readDataToLength(3, 1);
    connection->readDataToLength(3, 2);
    connection->readDataToLength(3, 3);
    ASSERT_TRUE(delegate.waitFor([&]() { return delegate.disconnects.size() == 1; }));
    std::lock_guard lock(delegate.mutex);
    ASSERT_EQ(delegate.reads.size(), 2u);
    EXPECT_EQ(delegate.reads[0].data, QByteArray("abc"));
    EXPECT_EQ(delegate.reads[1].data, QByteArray("def"));
}

TEST_F(AsyncSocketTest, AConnectionThatDoesNotReadIsDroppedAtTheWriteCap) {
    client.setReadBufferSize(4096); // the client stops taking bytes from its kernel
    connection->setMaxWriteBufferSize(256 * 1024);
    const QByteArray chunk(64 * 1024, 'w');
    qint64 sent = 0;
    const bool dropped = QTest::qWaitFor(
        [&]() {
            {
                std::lock_guard lock(delegate.mutex);
                if (!delegate.disconnects.empty()) {
                    return true;
                }
            }
            // Far beyond the socket buffers of both kernels, well below unbounded.
            if (sent < 256LL * 1024 * 1024) {
                connection->writeData(chunk, 1);
                sent += chunk.size();
            }
            return false;
        },
        20000);
    ASSERT_TRUE(dropped) << sent << " bytes sent";
    std::lock_guard lock(delegate.mutex);
    EXPECT_TRUE(delegate.disconnects[0].contains(QStringLiteral("does not read")));
}

TEST_F(AsyncSocketTest, ReleasingTheLastHandleClosesTheConnection) {
    {
        std::lock_guard lock(delegate.mutex);
        delegate.accepted.clear();
    }
    connection.reset();
    EXPECT_TRUE(QTest::qWaitFor(
        [&]() { return client.state() == QAbstractSocket::UnconnectedState; }, 5000));
}

TEST_F(AsyncSocketTest, HandlesOutlivingTheThreadAreInert) {
    thread->stop();
    EXPECT_TRUE(QTest::qWaitFor(
        [&]() { return client.state() == QAbstractSocket::UnconnectedState; }, 5000));
    connection->writeData("late", 1);
    connection->readDataToLength(1, 2);
    connection->disconnect();
    std::lock_guard lock(delegate.mutex);
    EXPECT_TRUE(delegate.writes.empty());
    EXPECT_TRUE(delegate.reads.empty());
}

TEST(AsyncSocketListen, ABusyPortIsReportedAsAnError) {
    QTcpServer occupant;
    ASSERT_TRUE(occupant.listen(QHostAddress::LocalHost, 0));
    QTcpServer occupant6;
    const bool haveIpv6 = occupant6.listen(QHostAddress::LocalHostIPv6, occupant.serverPort());
    auto thread = std::make_shared<SocketThread>(QStringLiteral("test sockets"));
    auto socket = AsyncSocket::create(nullptr, thread);
    QString error;
    EXPECT_FALSE(socket->acceptOnPort(occupant.serverPort(), &error));
    // Without ::1 one family is all there is, and it is taken; with both, the taken one is named.
    if (haveIpv6) {
        EXPECT_TRUE(error.contains(QStringLiteral("127.0.0.1"))) << error.toStdString();
    }
    EXPECT_FALSE(error.isEmpty());
    socket.reset();
    thread->stop();
}

} // namespace
