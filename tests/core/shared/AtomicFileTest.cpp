// Replacing a file in one step: the previous file survives every failed write, whatever the
// size of the write relative to Qt's 16 KiB write buffer, and nothing temporary is left behind.

#include "core/shared/AtomicFile.h"

#include "tests/support/FileSizeLimit.h"
#include "tests/support/TempDir.h"

#include <QDir>
#include <QFileInfo>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace keskor;
using keskor::test::FileSizeLimit;
using keskor::test::TempDir;

namespace {

QByteArray pattern(qsizetype size) {
    QByteArray bytes(size, '\0');
    for (qsizetype i = 0; i < size; ++i) {
        bytes[i] = char('a' + i % 23);
    }
    return bytes;
}

struct CutShort {
    qsizetype size;
    rlim_t limit;
};

class AtomicFileCutShort : public ::testing::TestWithParam<CutShort> {};

TEST_P(AtomicFileCutShort, FailsAndKeepsThePreviousFile) {
    TempDir dir;
    const QString target = dir.file(QStringLiteral("data.bin"));
    ASSERT_TRUE(AtomicFile::write(target, QByteArray("previous")));
    QString error;
    {
        FileSizeLimit limit(GetParam().limit);
        EXPECT_FALSE(AtomicFile::write(target, pattern(GetParam().size), &error));
    }
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(dir.read(QStringLiteral("data.bin")), QByteArray("previous"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("data.bin")});
}

// The small cases are the ones a buffered write reports as complete.
INSTANTIATE_TEST_SUITE_P(Sizes, AtomicFileCutShort,
                         ::testing::Values(CutShort{500, 100}, CutShort{3000, 1000},
                                           CutShort{16383, 16000}, CutShort{16385, 16384},
                                           CutShort{1 << 20, 40000}),
                         [](const auto& info) {
                             return "size" + std::to_string(info.param.size) + "limit" +
                                    std::to_string(info.param.limit);
                         });

TEST(AtomicFile, WritesEveryByteAndTheRequestedPermissions) {
    TempDir dir;
    const QString target = dir.file(QStringLiteral("secret"));
    const QByteArray bytes = pattern(100000);
    const auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    ASSERT_TRUE(AtomicFile::write(target, bytes, nullptr, ownerOnly));
    EXPECT_EQ(dir.read(QStringLiteral("secret")), bytes);
    // The "user" bits repeat the owner bits for the current user; compare the others.
    EXPECT_EQ(QFileInfo(target).permissions() & QFileDevice::Permissions(0x7077), ownerOnly);
    ASSERT_TRUE(AtomicFile::write(target, QByteArray()));
    EXPECT_EQ(QFileInfo(target).size(), 0);
}

// A replaced file keeps its old mode only when that mode is stricter than owner-only.
struct Replaced {
    QFileDevice::Permissions before;
    QFileDevice::Permissions after;
};

class AtomicFileMode : public ::testing::TestWithParam<Replaced> {};

TEST_P(AtomicFileMode, KeepsOnlyAStricterMode) {
    TempDir dir;
    const QString target = dir.file(QStringLiteral("db"));
    ASSERT_TRUE(AtomicFile::write(target, QByteArrayLiteral("old")));
    ASSERT_TRUE(QFile::setPermissions(target, GetParam().before));
    ASSERT_TRUE(AtomicFile::write(target, QByteArrayLiteral("new")));
    EXPECT_EQ(QFileInfo(target).permissions() & QFileDevice::Permissions(0x7077), GetParam().after);
}

constexpr auto kR = QFileDevice::ReadOwner;
constexpr auto kW = QFileDevice::WriteOwner;
INSTANTIATE_TEST_SUITE_P(
    Modes, AtomicFileMode,
    ::testing::Values(Replaced{kR | kW | QFileDevice::ReadGroup | QFileDevice::ReadOther, kR | kW},
                      Replaced{kR | kW, kR | kW}));

// A writer killed half-way leaves its temporary file; the next write in the folder removes it,
// but never the temporary file of a writer still at work.
TEST(AtomicFile, RemovesWhatKilledWritersLeftAndNothingElse) {
    TempDir dir;
    ASSERT_TRUE(AtomicFile::write(dir.file(QStringLiteral("db.pswd")), QByteArray("old")));
    const QString dead = QStringLiteral(".b_2.pswd.keskor-tmp-AbCd1234");
    const QString alive = QStringLiteral(".db.pswd.keskor-tmp-XyZ98765");
    const QString foreign = QStringLiteral(".db.pswd.other-AbCd1234");
    for (const QString& name : {dead, foreign}) {
        dir.write(name, "partial");
    }
    dir.write(alive, "in progress");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t writer = ::fork();
    if (writer == 0) {
        const int fd = ::open(QFile::encodeName(dir.file(alive)).constData(), O_RDONLY);
        ::flock(fd, LOCK_EX);
        ::write(ready[1], "x", 1);
        ::pause();
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ASSERT_TRUE(AtomicFile::write(dir.file(QStringLiteral("db.pswd")), QByteArray("new")));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{alive, foreign, QStringLiteral("db.pswd")}));
    ::kill(writer, SIGKILL);
    ::waitpid(writer, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_EQ(dir.read(QStringLiteral("db.pswd")), QByteArray("new"));
}

TEST(AtomicFile, AMissingFolderIsAnErrorNotAFolder) {
    TempDir dir;
    QString error;
    EXPECT_FALSE(AtomicFile::write(dir.file(QStringLiteral("no/such/file")), "x", 1, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(dir.file(QStringLiteral("no"))));
}

} // namespace
