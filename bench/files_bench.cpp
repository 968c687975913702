// The settings file read and write, and the log trim at exit.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "balloon/LogStream.h"
#include "core/Settings.h"
#include "platform/Files.h"

namespace {

void BM_SettingsRead(benchmark::State& state) {
    const std::string file = core::writeSettings(core::Settings{});
    for (auto _ : state) {
        core::Settings s;
        benchmark::DoNotOptimize(core::readSettings(file, s));
    }
}
BENCHMARK(BM_SettingsRead);

void BM_SettingsWrite(benchmark::State& state) {
    const core::Settings s;
    for (auto _ : state) {
        benchmark::DoNotOptimize(core::writeSettings(s));
    }
}
BENCHMARK(BM_SettingsWrite);

void BM_LogTrim(benchmark::State& state) {
    std::string dir = (std::filesystem::temp_directory_path() / "nagomi-bench-XXXXXX").string();
    ::mkdtemp(dir.data());
    const std::string path = dir + "/piklog.txt";
    std::string log;
    for (int i = 0; i < state.range(0); ++i) {
        log += "2026/12/08 12:34:56 ただいま12時34分です． line " + std::to_string(i) + "\r\n";
    }
    for (auto _ : state) {
        state.PauseTiming();
        platform::writeFileAtomic(path, log, 0644);
        state.ResumeTiming();
        benchmark::DoNotOptimize(balloon::trimLogFile(path, balloon::kLogKeepLines));
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_LogTrim)->Arg(1500)->Arg(20000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
