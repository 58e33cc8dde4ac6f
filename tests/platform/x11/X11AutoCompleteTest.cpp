#include "bridge/AutoCompleteHelper.h"
#include "platform/QtClipboard.h"
#include "platform/SystemClock.h"
#include "platform/x11/X11DesktopInput.h"
#include "platform/x11/X11GlobalShortcut.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

using namespace keskor;

// After everything else: Xlib defines None, Bool and Status as macros.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

// Runs under xvfb-run (see tests/CMakeLists.txt): a real X server, a real second program
// whose form has the focus.
class X11AutoComplete : public ::testing::Test {
protected:
    void SetUp() override {
        QString error;
        input = X11DesktopInput::open(qEnvironmentVariable("DISPLAY"), &error);
        if (!input) {
            GTEST_SKIP() << qPrintable(error);
        }
        target.start(QStringLiteral(KESKOR_TYPE_TARGET), {});
        ASSERT_TRUE(target.waitForStarted());
        ASSERT_TRUE(QTest::qWaitFor([&] { return target.canReadLine(); }, 15000));
        ASSERT_EQ(target.readLine().trimmed(), QByteArray("ready"));
        ASSERT_TRUE(input->windows().activeWindow().has_value());
        helper = std::make_unique<AutoCompleteHelper>(
            AutoCompleteHelper::Services{input->keys(), input->windows(), input->clicks(),
                                         clipboard, clock, [](QPoint) { return false; }, 0});
        helper->onProblem = [&](const UiText& m, const UiText&) { problems.append(m.value()); };
    }

    std::unique_ptr<X11DesktopInput> input;
    QProcess target;
    QtClipboard clipboard;
    SystemClock clock;
    std::unique_ptr<AutoCompleteHelper> helper;
    QStringList problems;
};

TEST_F(X11AutoComplete, TypesTheTemplateIntoAnotherProgramsForm) {
    Info2Item entry;
    const QString user = QStringLiteral("Jürgen \"Ω\" \\ 😀 日本");
    entry.setUserName(user);
    entry.setPassword(QStringLiteral("p<a>s's\\w0rd"));
    entry.mutableCustomFields().append(PswField{QStringLiteral("PIN"), QStringLiteral("0815")});
    entry.setAutoTypeTemplate(QStringLiteral("<USER><TAB><PASS><TAB><pin><DELAY=0.3><ENTER>"));
    bool done = false;
    ASSERT_TRUE(helper->runNow(entry, [&] { done = true; }));
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 20000));
    ASSERT_TRUE(target.waitForFinished(10000)) << "the form never saw Enter";
    const QJsonObject got = QJsonDocument::fromJson(target.readAllStandardOutput()).object();
    EXPECT_EQ(got.value(QStringLiteral("user")).toString(), user);
    EXPECT_EQ(got.value(QStringLiteral("pass")).toString(), *entry.password());
    EXPECT_EQ(got.value(QStringLiteral("pin")).toString(), QStringLiteral("0815"));
    EXPECT_TRUE(problems.isEmpty()) << qPrintable(problems.join(' '));
    // The window has gone: nothing more may be typed anywhere.
    EXPECT_FALSE(helper->runNow(entry, {}));
}

TEST_F(X11AutoComplete, StopsWhenTheTargetClosesMidRun) {
    Info2Item entry;
    entry.setAutoTypeTemplate(QStringLiteral("<DELAY=1.5><USER><ENTER>"));
    bool done = false;
    ASSERT_TRUE(helper->runNow(entry, [&] { done = true; }));
    QTest::qWait(600);
    target.kill();
    ASSERT_TRUE(target.waitForFinished(5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 10000));
    EXPECT_EQ(problems, QStringList{QStringLiteral("autocomplete_window_lost")});
}

TEST(X11GlobalShortcut, NeedsAModifierAndAKnownKey) {
    EXPECT_TRUE(X11GlobalShortcut::grabFor(QKeySequence(QStringLiteral("Ctrl+Alt+A"))));
    EXPECT_TRUE(X11GlobalShortcut::grabFor(QKeySequence(QStringLiteral("F9"))));
    EXPECT_FALSE(X11GlobalShortcut::grabFor(QKeySequence(QStringLiteral("A"))));
    EXPECT_FALSE(X11GlobalShortcut::grabFor(QKeySequence(QStringLiteral("Ctrl+A, Ctrl+B"))));
    EXPECT_FALSE(X11GlobalShortcut::grabFor(QKeySequence(QStringLiteral("Ctrl+Ä"))));
}

} // namespace

TEST(X11GlobalShortcut, FiresOnReleaseWhateverTheLockKeys) {
    QString error;
    std::unique_ptr<X11DesktopInput> input =
        X11DesktopInput::open(qEnvironmentVariable("DISPLAY"), &error);
    if (!input) {
        GTEST_SKIP() << qPrintable(error);
    }
    int fired = 0;
    ASSERT_TRUE(input->shortcut().setShortcut(QKeySequence(QStringLiteral("Ctrl+Alt+A")),
                                              [&] { ++fired; }));
    // A second client asking for the same combination is refused.
    std::unique_ptr<X11DesktopInput> other =
        X11DesktopInput::open(qEnvironmentVariable("DISPLAY"), &error);
    ASSERT_TRUE(other);
    EXPECT_FALSE(other->shortcut().setShortcut(QKeySequence(QStringLiteral("Ctrl+Alt+A")), {}));
    Display* display = XOpenDisplay(nullptr);
    const auto key = [&](KeySym sym, bool down) {
        XTestFakeKeyEvent(display, XKeysymToKeycode(display, sym), down, CurrentTime);
    };
    for (KeySym sym : {XK_Caps_Lock, XK_Control_L, XK_Alt_L, XK_a}) {
        key(sym, true);
    }
    for (KeySym sym : {XK_a, XK_Alt_L, XK_Control_L, XK_Caps_Lock}) {
        key(sym, false);
    }
    XFlush(display);
    EXPECT_TRUE(QTest::qWaitFor([&] { return fired == 1; }, 5000));
    XCloseDisplay(display);
}
