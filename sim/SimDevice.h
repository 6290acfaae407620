#pragma once
// One simulated device on a pseudo-terminal: the serving thread that reads
// the PC's frames, has the device model answer them, and writes the answers
// back, with the faults a real line and a real board can show.
//
// Threads: the serving thread touches the terminal and the model; every
// public function may be called from any other thread (the model under the
// device's lock). The thread waits only in poll, on the terminal, its own
// wake descriptor and the simulator's stop descriptor, so it never spins and
// ends within one wait once stop is signalled.
#include "BootLoaderModel.h"
#include "PseudoTerminal.h"

#include "platform/Result.h"
#include "protocol/Frame.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace qav::sim {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// What goes wrong, per device. Fractions are of answers, 0 to 1.
struct SimFaults
{
    double drop = 0;    // answers not sent (the request is still carried out)
    double corrupt = 0; // answers sent with a wrong CRC
    double garbage = 0; // answers preceded by 1 to 16 stray bytes
    // From silenceAfter after start, for silenceFor: requests go unheard and
    // unanswered. A negative silenceAfter means never.
    milliseconds silenceAfter{-1}, silenceFor{0};
    // From unplugAfter after start, for unplugFor: the terminal is closed
    // and its alias removed; then the device comes back, freshly powered, on
    // a new terminal under the same COM name. Negative: never.
    milliseconds unplugAfter{-1}, unplugFor{0};
    int refuseFlashWrites = 0; // the next N writes to flash fail
    // Each answer leaves this long after its request was heard, as from a
    // controller that answers in its next control cycle or a slow adapter
    // (the boot loader's answers too); requests heard meanwhile are answered
    // in order.
    milliseconds answerDelay{0};
    // The line gives back every byte the PC sends, at once and ahead of the
    // answers still to come, as TX bridged to RX (a half-duplex or
    // single-wire adapter) does. Boot loader bytes included: it is the wire.
    bool echo = false;
    // Only the echo: no board is behind it, nothing is heard or answered.
    bool echoOnly = false;
};

// One line at 115200 baud, 8N1: ten bit times per byte, 86.8 us.
inline constexpr std::chrono::nanoseconds kUartByteTime{86806};
// The boot loader's line, 8E1: eleven bit times per byte, 95.5 us.
inline constexpr std::chrono::nanoseconds kBootByteTime{95486};
// The simulated user resets the board with its boot jumper set once the PC
// has sent this many sync bytes in a row, each after this much quiet on the
// line: an upgrade's sync bytes do that, a single probe or a frame never.
// The boot loader then takes the last one as its baud-rate byte.
inline constexpr int kSyncsBeforeReset = 3;
inline constexpr std::chrono::milliseconds kSyncQuiet{10};
// Answers pile up only while no client reads; beyond this they are dropped
// rather than kept without bound.
inline constexpr std::size_t kMaxQueuedBytes = 64 * 1024;

// Stray bytes never include the device's first header byte, so they cost
// the receiver nothing but the bytes themselves.
inline constexpr std::size_t kMaxGarbageBytes = 16;

// The device behind the wire.
class IDeviceModel
{
public:
    virtual ~IDeviceModel() = default;
    virtual std::uint8_t Header0() const = 0;
    virtual std::uint8_t Header1() const = 0;
    // The answer to a frame whose CRC matched.
    virtual void Answer(const Frame& request, Clock::time_point now, Frame& out) = 0;
    // Power lost and back: working values from flash, no command running.
    virtual void PowerCycle(Clock::time_point now) = 0;
    virtual void RefuseFlashWrites(int count) = 0;
    virtual void SetFirmware(std::uint8_t tenths) = 0;
};

struct SimDeviceOptions
{
    std::string kind; // "controller" or "motor", as printed
    int com = 0;
    SimFaults faults;
    bool paceOutput = false; // send at the line rate of a real UART
    std::uint32_t seed = 1;
    // When set, one line per valid frame heard: the steady-clock time in
    // nanoseconds, the device kind and the frame in hex. For measuring the
    // PC's rhythm as the device sees it.
    std::FILE* frameLog = nullptr;
    // The boot loader: the chip it plays (a row of the chip table), its
    // flash size, faults.
    std::uint16_t chipId = kSimChipId;
    std::uint32_t flashKiB = 64;
    std::vector<std::uint8_t> flashContents; // at the flash's base, the rest erased
    BootFaults bootFaults;
    // Called by the serving thread after each turn (what it heard handled,
    // answers written, the device gone or back), never under the device's
    // lock: for whoever waits for the device's state to change.
    std::function<void()> changed;
};

// A fault on demand that lasts until it is ended (EndSilence, PlugIn).
inline constexpr milliseconds kUntilEnded = std::chrono::hours(24 * 365);

// Called from Plug and, after an unplug, from the serving thread, each time
// the device is reachable on a (new) terminal; never under the device's lock.
using ReadyCallback = std::function<void(const std::string& kind, int com, const std::string& path)>;

struct SimDeviceStats
{
    std::uint64_t framesReceived = 0; // valid frames heard (silence not counted)
    std::uint64_t answersSent = 0;    // answers queued for the wire, corrupt ones included
    std::uint64_t answersDropped = 0;
    std::uint64_t answersCorrupted = 0;
    std::uint64_t garbageBursts = 0;
    std::uint64_t plugs = 0; // times the device came up on a terminal
    std::uint64_t syncsHeard = 0; // sync bytes (0x7F alone after a quiet line) heard while the firmware ran
    std::uint64_t bytesUnheard = 0; // bytes that arrived while the device was silent
    std::uint64_t bytesEchoed = 0;
};

class SimDevice
{
public:
    SimDevice(SimDeviceOptions options, std::unique_ptr<IDeviceModel> model, ReadyCallback ready);
    ~SimDevice();
    SimDevice(const SimDevice&) = delete;
    SimDevice& operator=(const SimDevice&) = delete;

    // Creates the terminal and registers the alias.
    Result Plug();
    // Starts the serving thread; it ends when stopFd becomes readable.
    Result Start(int stopFd, Clock::time_point start);
    // Waits for the thread, then closes the terminal and removes the alias.
    void Shutdown();

    // Faults on demand.
    void Unplug(milliseconds duration);
    // Back at once after an unplug (nothing while plugged in).
    void PlugIn();
    void FallSilent(milliseconds duration);
    void EndSilence();
    void RefuseFlashWrites(int count);
    void SetBootFaults(const BootFaults& faults);

    // The board reset with its boot jumper set: its boot loader waits for the
    // sync byte that sets its baud rate; any other byte first leaves it at a
    // wrong rate, deaf until the next reset (as a real one may be).
    void ResetIntoBootLoader();
    // The board reset without its boot jumper: its firmware starts afresh,
    // also from the boot loader.
    void Reset();

    // The boot loader's flash and counts, and whether it is running now.
    std::vector<std::uint8_t> Flash() const;
    BootStats BootLoaderStats() const;
    bool InBootLoader() const;

    const std::string& Kind() const { return options_.kind; }
    int Com() const { return options_.com; }
    // Slave path of the current terminal; empty while unplugged.
    std::string DevicePath() const;
    SimDeviceStats Stats() const;

    // Runs f(model) under the device's lock.
    template <class F> auto WithModel(F&& f) const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return f(*model_);
    }

private:
    void LogFrame(const Frame& frame, Clock::time_point now);
    void Serve(int stopFd);
    void Echo(const std::uint8_t* bytes, std::size_t n);
    void HandleBytes(const std::uint8_t* bytes, std::size_t n, Clock::time_point now);
    void FeedBootLoader(std::uint8_t b, Clock::time_point now);
    void EnterBootLoader(Clock::time_point now);
    bool InBoot() const { return bootState_ != BootState::Firmware; }
    void QueueRaw(const std::vector<std::uint8_t>& bytes, Clock::time_point now);
    void LeaveBootLoader(std::uint32_t address);
    void Queue(const Frame& answer, Clock::time_point now);
    void ReleaseDelayed(Clock::time_point now);
    void Flush(Clock::time_point now);
    void Disconnect();
    bool Reconnect(Clock::time_point now);
    void Wake();
    bool Chance(double fraction);

    SimDeviceOptions options_;
    std::unique_ptr<IDeviceModel> model_;
    ReadyCallback ready_;
    BootLoaderModel boot_;
    // What runs on the board: its firmware, or the boot loader before,
    // with and without its baud rate.
    enum class BootState { Firmware, AwaitingBaud, Synced, WrongBaud };
    BootState bootState_ = BootState::Firmware;
    int syncRun_ = 0; // sync bytes in a row while the firmware runs

    mutable std::mutex mutex_; // guards everything below that other threads see
    PseudoTerminal pty_;
    std::string alias_; // target the alias was registered with
    SimDeviceStats stats_;
    Clock::time_point silentFrom_{}, silentUntil_{}; // deaf and mute in [from, until)
    Clock::time_point scheduledUnplug_ = Clock::time_point::max();
    milliseconds scheduledUnplugFor_{0};
    Clock::time_point replugAt_ = Clock::time_point::max(); // while unplugged

    // Serving thread only.
    FrameReceiver receiver_;
    std::deque<std::uint8_t> out_;
    struct DelayedAnswer
    {
        Clock::time_point due;
        std::vector<std::uint8_t> bytes;
    };
    std::deque<DelayedAnswer> delayed_; // oldest first
    Clock::time_point nextByteAt_{};
    std::chrono::nanoseconds byteTime_ = kUartByteTime;
    bool txIdle_ = true;              // nothing was left unsent at the last flush
    Clock::time_point lastHeard_{};   // when the last byte came in
    Clock::time_point inputDoneAt_{}; // paced: when the bytes heard so far have crossed the line
    Clock::time_point hungUpUntil_{};
    std::mt19937 rng_;

    int wakeFd_ = -1;
    std::thread thread_;
};

} // namespace qav::sim
