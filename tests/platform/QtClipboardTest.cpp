#include "platform/QtClipboard.h"

#include "tests/support/TempDir.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QTest>
#include <gtest/gtest.h>

using namespace keskor;

namespace {

const QString kHint = QString::fromLatin1(QtClipboard::kPasswordManagerHint);

QProcessEnvironment withoutWayland() {
    QProcessEnvironment env;
    env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    return env;
}

TEST(QtClipboardTest, OnlySecretsCarryTheHintAndClearEmptiesTheClipboard) {
    QtClipboard clipboard(QGuiApplication::clipboard(), withoutWayland());
    const auto mime = [] { return QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard); };
    clipboard.setText(QStringLiteral("s3cret"), true);
    ASSERT_NE(mime(), nullptr);
    // The name clipboard managers look for.
    EXPECT_EQ(kHint, QStringLiteral("x-kde-passwordManagerHint"));
    EXPECT_EQ(mime()->data(kHint), QByteArrayLiteral("secret"));
    EXPECT_EQ(clipboard.text(), QStringLiteral("s3cret"));

    clipboard.setText(QStringLiteral("hello"), false);
    ASSERT_NE(mime(), nullptr);
    EXPECT_FALSE(mime()->hasFormat(kHint));
    EXPECT_EQ(clipboard.text(), QStringLiteral("hello"));

    clipboard.setText(QStringLiteral("s3cret"), true);
    clipboard.clear();
    EXPECT_TRUE(clipboard.text().isEmpty());
}

TEST(QtClipboardTest, ClearInAWaylandSessionAlsoRunsWlCopy) {
    keskor::test::TempDir dir;
    const QString marker = dir.file(QStringLiteral("called"));
    dir.write(QStringLiteral("wl-copy"),
              QStringLiteral("#!/bin/sh\necho \"$@\" > '%1'\n").arg(marker).toUtf8());
    QFile::setPermissions(dir.file(QStringLiteral("wl-copy")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment env;
    env.insert(QStringLiteral("PATH"), dir.path() + QStringLiteral(":/usr/bin:/bin"));
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-test"));

    QtClipboard clipboard(QGuiApplication::clipboard(), env);
    clipboard.setText(QStringLiteral("s3cret"), true);
    clipboard.clear();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile(marker).size() > 0; }, 5000));
    EXPECT_EQ(dir.read(QStringLiteral("called")).trimmed(), QByteArrayLiteral("--clear"));
}

} // namespace
