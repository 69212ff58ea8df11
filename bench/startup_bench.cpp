// Start-up: process start to the main window's first paint, beside a bare
// Qt window started the same way, interleaved so that both see the same
// machine. Under a private Xvfb when there is one, else the offscreen
// platform.
#include "tests/support/window_start.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void BM_StartUpToFirstPaint(benchmark::State& state) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("zadud_startup_" + std::to_string(getpid()));
    fs::create_directories(dir);
    // A configured book with the previous and current month, as a user has.
    std::ofstream(dir / "ZADUD.CFG", std::ios::binary) << "kamo1=a\r\nkamo2=b\r\n";
    window_start::XServer x;
    const std::vector<std::string> env =
        x.started() ? std::vector<std::string>{"DISPLAY=" + x.display(), "QT_QPA_PLATFORM="}
                    : std::vector<std::string>{"QT_QPA_PLATFORM=offscreen"};
    // Another build of the program may be timed against the same floor.
    const char* other = std::getenv("ZADUD_STARTUP_BINARY");
    const std::string program = other && *other ? other : ZADUD_BINARY;
    const int runs = static_cast<int>(state.range(0));
    std::vector<double> ours, bare, rss, settled, oursCpu, bareCpu;
    int failed = 0;
    for (auto _ : state) {
        for (int i = 0; i < runs; ++i) {
            const auto b = window_start::startOnce(BARE_WINDOW_BINARY, dir.string(), env);
            const auto z = window_start::startOnce(program, dir.string(), env, 10000, 500);
            if (!b.shown || !z.shown) {
                ++failed;
                continue;
            }
            bare.push_back(b.ms);
            ours.push_back(z.ms);
            rss.push_back(z.residentKb / 1024.0);
            settled.push_back(z.settledKb / 1024.0);
            oursCpu.push_back(z.cpuMs);
            bareCpu.push_back(b.cpuMs);
        }
        state.SetIterationTime(median(ours) / 1000);
    }
    fs::remove_all(dir);
    state.SetLabel(x.started() ? "Xvfb" : "offscreen");
    state.counters["ours_ms"] = median(ours);
    state.counters["bare_ms"] = median(bare);
    state.counters["ratio"] = median(bare) > 0 ? median(ours) / median(bare) : 0;
    state.counters["rss_MB"] = median(rss);
    state.counters["rss_settled_MB"] = median(settled);
    state.counters["ours_cpu_ms"] = median(oursCpu);
    state.counters["bare_cpu_ms"] = median(bareCpu);
    state.counters["cpu_ratio"] = median(bareCpu) > 0 ? median(oursCpu) / median(bareCpu) : 0;
    state.counters["failed"] = failed;
}
BENCHMARK(BM_StartUpToFirstPaint)
    ->Arg(15)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace
