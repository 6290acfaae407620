// A 128 KiB image written and verified through the simulated controller's
// boot loader, paced as a real 115200 baud 8E1 line would be. Reports the
// time against the wire time: 11 bits for every byte in either direction.
// Run by hand:
//   build/bench/upgrade_bench
#include "BootLoaderModel.h"
#include "Simulator.h"

#include "upgrade/FirmwareFile.h"
#include "upgrade/WindroseIAP.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kCom = 901;
constexpr double kBitsPerByte = 11;
constexpr double kBaud = 115200;

void BM_Upgrade128KiBPaced(benchmark::State& state)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("qav-upgrade-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir / "ports");
    ::setenv("QAV_NUVA_PORTS_DIR", (dir / "ports").c_str(), 1);

    const auto image = qav::sim::SimFirmwareImage(99, 128 * 1024, 3);
    const auto packed = qav::PackFirmware(qav::BoardId::Controller, 99, 0x08000000, image);
    const std::string file = (dir / "fw.bgsf").string();
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(packed.data()), static_cast<std::streamsize>(packed.size()));

    double seconds = 0, wire = 0;
    for (auto _ : state) {
        qav::sim::SimulatorConfig config;
        config.controllerCom = kCom;
        config.paceOutput = true;
        qav::sim::Simulator sim(config);
        if (const qav::Result started = sim.Start(); !started) {
            state.SkipWithError(started.message.c_str());
            break;
        }
        auto notes = std::make_shared<qav::NotifyQueue>();
        qav::CWindroseIAPLibExp lib(qav::BoardId::Controller);
        lib.Init(notes);
        const auto start = Clock::now();
        lib.Start(kCom, file);
        int last = 0;
        while (last != qav::iap::kDone && last != qav::iap::kStartAgain) {
            const auto n = notes->WaitFor(120s);
            if (!n)
                break;
            last = qav::IapRecordCode(n->lParam);
        }
        const double took = std::chrono::duration<double>(Clock::now() - start).count();
        if (last != qav::iap::kDone) {
            state.SkipWithError("the upgrade did not succeed");
            break;
        }
        const auto stats = sim.BootLoaderStats(qav::sim::DeviceKind::Controller);
        const double bytes = static_cast<double>(stats.bytesHeard + stats.bytesSent);
        seconds += took;
        wire += bytes * kBitsPerByte / kBaud;
        state.SetIterationTime(took);
        state.counters["wire_bytes"] = bytes;
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["time_s"] = seconds / n;
    state.counters["wire_s"] = wire / n;
    state.counters["ratio"] = seconds / wire;
    std::error_code ec;
    fs::remove_all(dir, ec);
}
BENCHMARK(BM_Upgrade128KiBPaced)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// How long Stop takes while the library waits for a boot loader that never
// answers (the goal is well under 200 ms).
void BM_StopWhileWaiting(benchmark::State& state)
{
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("qav-stop-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir / "ports");
    ::setenv("QAV_NUVA_PORTS_DIR", (dir / "ports").c_str(), 1);
    const auto image = qav::sim::SimFirmwareImage(1, 1024);
    const auto packed = qav::PackFirmware(qav::BoardId::Controller, 1, 0x08000000, image);
    const std::string file = (dir / "fw.bgsf").string();
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(packed.data()), static_cast<std::streamsize>(packed.size()));
    qav::sim::SimulatorConfig config;
    config.controllerCom = kCom;
    config.bootFaults.deaf = true;
    qav::sim::Simulator sim(config);
    if (const qav::Result started = sim.Start(); !started) {
        state.SkipWithError(started.message.c_str());
        return;
    }
    auto notes = std::make_shared<qav::NotifyQueue>();
    qav::CWindroseIAPLibExp lib(qav::BoardId::Controller);
    lib.Init(notes);
    double worst = 0;
    for (auto _ : state) {
        lib.Start(kCom, file);
        while (auto n = notes->WaitFor(5s))
            if (qav::IapRecordCode(n->lParam) == qav::iap::kStarting)
                break;
        std::this_thread::sleep_for(150ms); // into the sync rhythm
        const auto start = Clock::now();
        lib.Stop();
        const double took = std::chrono::duration<double>(Clock::now() - start).count();
        worst = std::max(worst, took);
        state.SetIterationTime(took);
    }
    state.counters["worst_ms"] = worst * 1000;
    std::error_code ec;
    fs::remove_all(dir, ec);
}
BENCHMARK(BM_StopWhileWaiting)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
