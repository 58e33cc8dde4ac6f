// Load and save of whole databases (key derivation excluded), the key derivation on its own,
// and the peak memory of a load relative to the plaintext body.
//
//   make bench            (or: build/bench/passfile_bench --benchmark_filter=Load)

#include "core/shared/KeyHelper.h"
#include "core/shared/PassFile.h"
#include "core/shared/PassFileCodec.h"
#include "platform/HugePageHeap.h"
#include "testing/SampleDatabase.h"

#include <atomic>
#include <benchmark/benchmark.h>
#include <cerrno>
#include <malloc.h>
#include <map>

using namespace keskor;
using keskor::testing::SampleDatabase;

namespace {

std::atomic<std::int64_t> heapInUse{0};
std::atomic<std::int64_t> heapPeak{0};

void counted(void* p) {
    if (p != nullptr) {
        const auto now = heapInUse.fetch_add(static_cast<std::int64_t>(malloc_usable_size(p)),
                                             std::memory_order_relaxed) +
                         static_cast<std::int64_t>(malloc_usable_size(p));
        auto peak = heapPeak.load(std::memory_order_relaxed);
        while (now > peak &&
               !heapPeak.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
        }
    }
}

void released(void* p) {
    if (p != nullptr) {
        heapInUse.fetch_sub(static_cast<std::int64_t>(malloc_usable_size(p)),
                            std::memory_order_relaxed);
    }
}

struct Prepared {
    PassFile file;
    Key256 key;
    QByteArray text;
    qsizetype plainBytes = 0;
};

// Building a 100,000-entry database takes longer than loading it; do it once per size.
const Prepared& prepared(std::size_t entries) {
    static std::map<std::size_t, Prepared> cache;
    auto it = cache.find(entries);
    if (it == cache.end()) {
        Prepared p;
        p.file = SampleDatabase::large(entries);
        KeyHelper keys;
        p.key = keys.keyFromCredentials(p.file, Credentials(QStringLiteral("bench"), std::nullopt));
        p.text = p.file.getData(p.key);
        p.plainBytes = PassFileCodec::serializeBody(p.file).size();
        it = cache.emplace(entries, std::move(p)).first;
    }
    return it->second;
}

void BM_Save(benchmark::State& state) {
    const Prepared& p = prepared(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        QByteArray text = p.file.getData(p.key);
        benchmark::DoNotOptimize(text.data());
    }
    state.counters["file_MiB"] = static_cast<double>(p.text.size()) / (1024.0 * 1024.0);
}

void BM_Load(benchmark::State& state) {
    const Prepared& p = prepared(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        PassFile loaded;
        loaded.load(p.text, &p.key, false);
        benchmark::DoNotOptimize(loaded.itemCount());
    }
    state.counters["plain_MiB"] = static_cast<double>(p.plainBytes) / (1024.0 * 1024.0);
}

// The binary body alone, to tell the serialisation from compression and encryption.
void BM_SerializeBody(benchmark::State& state) {
    const Prepared& p = prepared(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        QByteArray body = PassFileCodec::serializeBody(p.file);
        benchmark::DoNotOptimize(body.data());
    }
}

void BM_ParseBody(benchmark::State& state) {
    const Prepared& p = prepared(static_cast<std::size_t>(state.range(0)));
    const QByteArray body = PassFileCodec::serializeBody(p.file);
    for (auto _ : state) {
        PassFile parsed;
        PassFileCodec::parseBody(body, parsed);
        benchmark::DoNotOptimize(parsed.itemCount());
    }
}

void BM_HeaderOnlyLoad(benchmark::State& state) {
    const Prepared& p = prepared(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        PassFile header;
        header.load(p.text, nullptr, true);
        benchmark::DoNotOptimize(header.kdf().memoryBytes);
    }
}

// The parameters a new database gets (normal and advanced encryption).
void BM_KeyDerivation(benchmark::State& state) {
    PassFile file =
        PassFile::createNewFile(PassFile::FileType::Plain, std::nullopt,
                                PassFile::AuthenticationType::Password, state.range(0) != 0);
    const SecureBytes input = KeyHelper::combinedInput(
        Credentials(QStringLiteral("bench"), std::nullopt), PassFile::AuthenticationType::Password);
    for (auto _ : state) {
        Key256 key = KeyHelper::derive(input, file.kdf());
        benchmark::DoNotOptimize(key.data());
    }
    state.counters["memory_MiB"] = static_cast<double>(file.kdf().memoryBytes) / (1024.0 * 1024.0);
    state.counters["passes"] = file.kdf().passes;
}

// A save after an edit takes the cached key: no second derivation.
void BM_CachedKey(benchmark::State& state) {
    PassFile file = PassFile::createNewFile(PassFile::FileType::Plain, std::nullopt,
                                            PassFile::AuthenticationType::Password, false);
    KeyHelper keys;
    const Credentials credentials(QStringLiteral("bench"), std::nullopt);
    keys.keyFromCredentials(file, credentials);
    for (auto _ : state) {
        Key256 key = keys.keyFromCredentials(file, credentials);
        benchmark::DoNotOptimize(key.data());
    }
    state.counters["kdf_runs"] = keys.kdfRuns();
}

// Peak heap use added by loading (the file text is already in memory), relative to the
// plaintext body: every allocation of the process is counted by the hooks at the end of this
// file, and the peak is reset before each load.
void BM_LoadPeakMemory(benchmark::State& state) {
    const Prepared& p = prepared(static_cast<std::size_t>(state.range(0)));
    double ratio = 0;
    double model = 0;
    for (auto _ : state) {
        const std::int64_t before = heapInUse.load();
        heapPeak.store(before);
        {
            PassFile loaded;
            loaded.load(p.text, &p.key, false);
            benchmark::DoNotOptimize(loaded.itemCount());
            model =
                static_cast<double>(heapInUse.load() - before) / static_cast<double>(p.plainBytes);
        }
        ratio = static_cast<double>(heapPeak.load() - before) / static_cast<double>(p.plainBytes);
    }
    state.counters["peak_per_plain"] = ratio;
    // What the loaded database itself keeps, for telling the model from the transient buffers.
    state.counters["model_per_plain"] = model;
    state.counters["plain_MiB"] = static_cast<double>(p.plainBytes) / (1024.0 * 1024.0);
}

} // namespace

BENCHMARK(BM_Save)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Load)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SerializeBody)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseBody)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HeaderOnlyLoad)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KeyDerivation)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CachedKey)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadPeakMemory)->Arg(100000)->Iterations(3)->Unit(benchmark::kMillisecond);

// The same heap as the programs that load databases.
int main(int argc, char** argv) {
    HugePageHeap::enable(argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// glibc's allocator under the standard names, so Qt's and the C++ runtime's allocations are
// counted too.
extern "C" {
void* __libc_malloc(std::size_t);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);
void __libc_free(void*);

void* malloc(std::size_t n) {
    void* p = __libc_malloc(n);
    counted(p);
    return p;
}
void* calloc(std::size_t n, std::size_t size) {
    void* p = __libc_calloc(n, size);
    counted(p);
    return p;
}
void* realloc(void* old, std::size_t n) {
    released(old);
    void* p = __libc_realloc(old, n);
    counted(p != nullptr ? p : (n != 0 ? old : nullptr));
    return p;
}
void* aligned_alloc(std::size_t alignment, std::size_t n) {
    void* p = __libc_memalign(alignment, n);
    counted(p);
    return p;
}
void* memalign(std::size_t alignment, std::size_t n) {
    void* p = __libc_memalign(alignment, n);
    counted(p);
    return p;
}
int posix_memalign(void** out, std::size_t alignment, std::size_t n) {
    void* p = __libc_memalign(alignment, n);
    if (p == nullptr) {
        return ENOMEM;
    }
    counted(p);
    *out = p;
    return 0;
}
void free(void* p) {
    released(p);
    __libc_free(p);
}
}
