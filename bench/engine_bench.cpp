// Engine costs: construction (load, list, sort), opening a conversion, converting a buffer.
#include "engine/Lumiva.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <string>

namespace {

void BM_EngineConstruction(benchmark::State& state)
{
    std::size_t names = 0;
    for (auto _ : state) {
        TLumiva engine;
        names = engine.NameList().Count();
        benchmark::DoNotOptimize(names);
    }
    state.counters["names"] = static_cast<double>(names);
}
BENCHMARK(BM_EngineConstruction)->Unit(benchmark::kMillisecond);

void BM_StartClose(benchmark::State& state)
{
    TLumiva engine;
    for (auto _ : state) {
        engine.Start("windows-1252", "UTF-16", 1);
        engine.Close();
    }
}
BENCHMARK(BM_StartClose)->Unit(benchmark::kMicrosecond);

void BM_ConvertUtf8ToUtf16(benchmark::State& state)
{
    TLumiva engine;
    std::string text;
    while (text.size() < 1 << 20)
        text += "Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln, \xE2\x82\xAC 10, plain ASCII text. ";
    std::string out(text.size() * 2 + 16, '\0');
    for (auto _ : state) {
        engine.Start("UTF-8", "UTF-16LE", 0);
        const char* in = text.data();
        std::size_t inLeft = text.size();
        char* outPtr = out.data();
        std::size_t outLeft = out.size();
        engine.Convert(&in, &inLeft, &outPtr, &outLeft);
        engine.Close();
        benchmark::DoNotOptimize(outPtr);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ConvertUtf8ToUtf16)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    // The first construction in a process is the one the program pays at start-up.
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t startCpu = std::clock();
    std::size_t names = 0;
    std::size_t groups = 0;
    {
        TLumiva engine;
        TStringList list;
        engine.GetGroups(list);
        names = engine.NameList().Count();
        groups = list.Count();
    }
    const std::chrono::duration<double, std::milli> cold = std::chrono::steady_clock::now() - start;
    const double coldCpu = 1000.0 * static_cast<double>(std::clock() - startCpu) / CLOCKS_PER_SEC;
    std::printf("first engine construction: %.1f ms wall, %.1f ms CPU (%zu names, %zu groups)\n", cold.count(),
                coldCpu, names, groups);

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
