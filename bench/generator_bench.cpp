// Passwords per second of the generator (one candidate, and the dialog's ten tries) at lengths
// 20 and 64 and with the default options, the entropy estimate alone, and the XML export of
// databases of 10,000 and 100,000 entries with the growth of the process's peak resident memory it
// caused.
//
//   make bench            (or: build/bench/generator_bench --benchmark_filter=Generate)

#include "core/shared/EncryptionHelper.h"
#include "testing/SampleDatabase.h"
#include "tools/PassFileXmlWriter.h"
#include "tools/PasswordHelper.h"
#include "tools/SystemRandomSource.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>

using namespace keskor;

namespace {

PasswordGeneratorOption optionOfLength(std::int64_t length, bool rules) {
    PasswordGeneratorOption option;
    option.passwordLength = static_cast<int>(length);
    option.useAtleastOneOfSelected = rules;
    option.excludeIdentical = rules;
    return option;
}

void BM_GeneratePassword(benchmark::State& state) {
    const auto option = optionOfLength(state.range(0), state.range(1) != 0);
    SystemRandomSource random;
    for (auto _ : state) {
        benchmark::DoNotOptimize(PasswordHelper::generatePassword(option, random));
    }
    state.counters["passwords/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_GeneratePassword)->ArgsProduct({{20, 64}, {0, 1}})->ArgNames({"length", "rules"});

void BM_GenerateBestOfTen(benchmark::State& state) {
    const auto option = optionOfLength(state.range(0), false);
    SystemRandomSource random;
    for (auto _ : state) {
        benchmark::DoNotOptimize(PasswordHelper::generateBestPassword(option, 10, random));
    }
    state.counters["passwords/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_GenerateBestOfTen)->Arg(20)->Arg(64)->ArgName("length");

// What the dialog does: the default options, ten tries, a fresh random source per press.
void BM_GenerateDefaults(benchmark::State& state) {
    const PasswordGeneratorOption option;
    for (auto _ : state) {
        benchmark::DoNotOptimize(PasswordHelper::generateBestPassword(option, 10));
    }
    state.counters["passwords/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_GenerateDefaults);

void BM_Entropy(benchmark::State& state) {
    SystemRandomSource random;
    const QString password =
        PasswordHelper::generatePassword(optionOfLength(state.range(0), false), random);
    for (auto _ : state) {
        benchmark::DoNotOptimize(PasswordHelper::entropy(password));
    }
}
BENCHMARK(BM_Entropy)->Arg(20)->Arg(64)->ArgName("length");

long peakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void BM_XmlExport(benchmark::State& state) {
    const PassFile file =
        keskor::testing::SampleDatabase::large(static_cast<std::size_t>(state.range(0)));
    const EncryptionHelper protection(Key256::random());
    const PassFileXmlWriter writer(protection, QDateTime::currentDateTime());
    std::size_t bytes = 0;
    const long peakBefore = peakResidentKiB();
    for (auto _ : state) {
        const QByteArray xml = writer.write(file);
        bytes = static_cast<std::size_t>(xml.size());
        benchmark::DoNotOptimize(xml.constData());
    }
    state.counters["MB"] = static_cast<double>(bytes) / 1e6;
    // Only growth past the earlier peak shows, so the larger size runs last.
    state.counters["peakGrowthMB"] = static_cast<double>(peakResidentKiB() - peakBefore) / 1024.0;
}
BENCHMARK(BM_XmlExport)->Arg(10000)->Arg(100000)->ArgName("entries")->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
