// The main window over a database of 100,000 entries once its key is derived: the time until
// the window is shown and drawn, the time of one quick-search keystroke, and the heap the
// window adds relative to the loaded database.
//
//   make bench            (or: QT_QPA_PLATFORM=offscreen build/bench/ui_bench)

#include "core/DatabaseInfoHelper.h"
#include "core/InactiveWebSocketManager.h"
#include "platform/AppPaths.h"
#include "platform/FakeClock.h"
#include "platform/MemoryClipboard.h"
#include "platform/MemoryDefaultsStore.h"
#include "platform/MemoryKeychain.h"
#include "platform/RecordingStatusItem.h"
#include "platform/RecordingUserNotifier.h"
#include "testing/SampleDatabase.h"
#include "testing/ScriptedPresenter.h"
#include "ui/DesktopApplication.h"
#include "ui/EntryListModel.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTreeView>
#include <benchmark/benchmark.h>
#include <malloc.h>

using namespace keskor;

namespace {

constexpr std::size_t kEntries = 100'000;

std::int64_t heapInUse() {
    return static_cast<std::int64_t>(mallinfo2().uordblks);
}

/// The desktop services over in-memory doubles, with the large database in the session.
struct Desktop {
    QTemporaryDir dir;
    AppPaths paths{dir.path()};
    MemoryDefaultsStore defaults;
    MemoryKeychain keychain;
    MemoryClipboard clipboard;
    RecordingUserNotifier notifier;
    RecordingStatusItem statusItem;
    FakeClock clock;
    keskor::testing::ScriptedPresenter presenter;
    Localizer localizer{QStringLiteral("en")};
    DesktopApplication desktop{
        DesktopApplication::Platform{paths,
                                     defaults,
                                     keychain,
                                     clipboard,
                                     notifier,
                                     statusItem,
                                     clock,
                                     presenter,
                                     localizer,
                                     PwnedPasswordsClient::Config{},
                                     {},
                                     [](SessionManager&, SettingManager&) {
                                         return std::make_unique<InactiveWebSocketManager>();
                                     }}};
    std::int64_t modelBytes = 0;

    Desktop() {
        const std::int64_t before = heapInUse();
        PassFile file = keskor::testing::SampleDatabase::large(kEntries);
        modelBytes = heapInUse() - before;
        desktop.app().mainManager().sessionManager.open(
            DatabaseInfoHelper::localFile(dir.filePath(QStringLiteral("large.pswd"))),
            std::move(file), Credentials(QStringLiteral("bench"), std::nullopt));
    }
};

Desktop& desktop() {
    static Desktop d;
    return d;
}

void BM_ShowMainWindow(benchmark::State& state) {
    Desktop& d = desktop();
    std::int64_t windowBytes = 0;
    for (auto _ : state) {
        const std::int64_t before = heapInUse();
        auto window = std::make_unique<MainWindow>(d.desktop.context());
        window->resize(1200, 800);
        window->showDatabaseView();
        window->show();
        // Drawing once is what the user waits for.
        benchmark::DoNotOptimize(window->grab());
        windowBytes = heapInUse() - before;
        state.PauseTiming();
        window.reset();
        state.ResumeTiming();
    }
    state.counters["window_MB"] = double(windowBytes) / (1024.0 * 1024.0);
    state.counters["model_MB"] = double(d.modelBytes) / (1024.0 * 1024.0);
    state.counters["window_per_model"] = double(windowBytes) / double(d.modelBytes);
}
BENCHMARK(BM_ShowMainWindow)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_SearchKeystroke(benchmark::State& state) {
    Desktop& d = desktop();
    const std::int64_t before = heapInUse();
    MainWindow window(d.desktop.context());
    window.resize(1200, 800);
    window.showDatabaseView();
    window.show();
    // The index the window builds once it is drawn.
    QApplication::processEvents();
    const std::int64_t windowBytes = heapInUse() - before;
    // Typing "mail" one key at a time, then deleting it again: each step filters all entries.
    const QString word = QStringLiteral("mail");
    int step = 0;
    for (auto _ : state) {
        const int length = step % 8 < 4 ? step % 8 + 1 : 8 - step % 8 - 1;
        window.searchField().setText(word.left(length));
        window.entryView().viewport()->repaint();
        ++step;
    }
    state.counters["window_with_index_per_model"] = double(windowBytes) / double(d.modelBytes);
}
BENCHMARK(BM_SearchKeystroke)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
