// Throughput of the frame checksum and the frame receiver. Run by hand:
//   build/bench/protocol_bench
#include "protocol/ControllerProtocol.h"
#include "protocol/Crc16.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

constexpr std::size_t kMiB = 1 << 20;

// Plain bit-at-a-time CRC-16/XMODEM, the reference the table version is
// measured against.
std::uint16_t BitwiseCrc16(const std::uint8_t* data, std::size_t n)
{
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= static_cast<std::uint16_t>(data[i] << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

std::vector<std::uint8_t> BackToBackFrames(std::size_t totalBytes)
{
    std::vector<std::uint8_t> out;
    out.reserve(totalBytes);
    qav::ControllerParams params;
    qav::ControllerLinkState link;
    std::uint8_t type = 1;
    while (out.size() + qav::kFrameSize <= totalBytes) {
        params.ROLL_TOTAL = static_cast<std::uint16_t>(out.size());
        link.sequenceCounter++;
        link.SelectFrameType(type);
        type = static_cast<std::uint8_t>(type % 4 + 1);
        qav::Frame f;
        qav::BuildFrame(link, params, f);
        out.insert(out.end(), f.begin(), f.end());
    }
    return out;
}

void BM_Crc16Table(benchmark::State& state)
{
    const auto data = BackToBackFrames(kMiB);
    for (auto _ : state)
        benchmark::DoNotOptimize(qav::Crc16(data.data(), data.size()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_Crc16Table);

void BM_Crc16Bitwise(benchmark::State& state)
{
    const auto data = BackToBackFrames(kMiB);
    for (auto _ : state)
        benchmark::DoNotOptimize(BitwiseCrc16(data.data(), data.size()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_Crc16Bitwise);

void BM_Crc16Frame(benchmark::State& state)
{
    const auto data = BackToBackFrames(qav::kFrameSize);
    for (auto _ : state)
        benchmark::DoNotOptimize(qav::Crc16(data.data(), qav::kCrcCoveredBytes));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * qav::kCrcCoveredBytes));
}
BENCHMARK(BM_Crc16Frame);

void BM_ReceiverOneMiB(benchmark::State& state)
{
    const auto data = BackToBackFrames(kMiB);
    qav::FrameReceiver rx(qav::kControllerHeader0, qav::kControllerHeader1);
    std::size_t frames = 0;
    for (auto _ : state) {
        rx.Feed(data.data(), data.size(),
                [&](const qav::Frame& f) { frames += f[0] == qav::kControllerHeader0; });
        benchmark::ClobberMemory();
    }
    if (frames == 0)
        state.SkipWithError("no frame decoded");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations() * (data.size() / qav::kFrameSize)),
                           benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReceiverOneMiB);

} // namespace

BENCHMARK_MAIN();
