#include "SimDevice.h"

#include "platform/PortMap.h"
#include "upgrade/BootLoader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace qav::sim {
namespace {

constexpr milliseconds kReplugRetry{100};
constexpr milliseconds kHangUpBackoff{10};

} // namespace

SimDevice::SimDevice(SimDeviceOptions options, std::unique_ptr<IDeviceModel> model, ReadyCallback ready)
    : options_(std::move(options)), model_(std::move(model)), ready_(std::move(ready)),
      boot_(FindChip(options_.chipId) ? *FindChip(options_.chipId) : *FindChip(kSimChipId), options_.flashKiB,
            options_.flashContents, options_.bootFaults),
      receiver_(model_->Header0(), model_->Header1()), rng_(options_.seed)
{
    model_->RefuseFlashWrites(options_.faults.refuseFlashWrites);
}

SimDevice::~SimDevice()
{
    Shutdown();
    if (wakeFd_ >= 0)
        close(wakeFd_);
}

Result SimDevice::Plug()
{
    std::string path;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!pty_.Open())
            return Result::Failed(errno,
                                  std::string("cannot create a pseudo-terminal: ") + std::strerror(errno));
        std::error_code ec;
        if (!RegisterPortAlias(options_.com, pty_.SlavePath(), &ec)) {
            pty_.Close();
            return Result::Failed(ec.value(),
                                  "cannot register " + AliasPath(options_.com) + ": " + ec.message());
        }
        path = alias_ = pty_.SlavePath();
        ++stats_.plugs;
    }
    if (ready_)
        ready_(options_.kind, options_.com, path);
    return {};
}

Result SimDevice::Start(int stopFd, Clock::time_point start)
{
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0)
        return Result::Failed(errno,
                              std::string("cannot create an event descriptor: ") + std::strerror(errno));
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const SimFaults& f = options_.faults;
        if (f.silenceAfter.count() >= 0) {
            silentFrom_ = start + f.silenceAfter;
            silentUntil_ = silentFrom_ + f.silenceFor;
        }
        if (f.unplugAfter.count() >= 0) {
            scheduledUnplug_ = start + f.unplugAfter;
            scheduledUnplugFor_ = f.unplugFor;
        }
    }
    thread_ = std::thread([this, stopFd] { Serve(stopFd); });
    return {};
}

void SimDevice::Shutdown()
{
    if (thread_.joinable())
        thread_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    Disconnect();
}

std::string SimDevice::DevicePath() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return pty_.IsOpen() ? pty_.SlavePath() : std::string();
}

SimDeviceStats SimDevice::Stats() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return stats_;
}

void SimDevice::Wake()
{
    if (wakeFd_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = write(wakeFd_, &one, sizeof one);
    }
}

void SimDevice::Unplug(milliseconds duration)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        scheduledUnplug_ = Clock::now();
        scheduledUnplugFor_ = duration;
    }
    Wake();
}

void SimDevice::PlugIn()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (pty_.IsOpen() || replugAt_ == Clock::time_point::max())
            return;
        replugAt_ = Clock::now();
    }
    Wake();
}

void SimDevice::FallSilent(milliseconds duration)
{
    std::lock_guard<std::mutex> lock(mutex_);
    silentFrom_ = Clock::now();
    silentUntil_ = silentFrom_ + duration;
}

void SimDevice::EndSilence()
{
    std::lock_guard<std::mutex> lock(mutex_);
    silentUntil_ = std::min(silentUntil_, Clock::now());
}

void SimDevice::RefuseFlashWrites(int count)
{
    std::lock_guard<std::mutex> lock(mutex_);
    model_->RefuseFlashWrites(count);
}

void SimDevice::Reset()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto now = Clock::now();
        EnterBootLoader(now); // forgets what the firmware still had to say
        bootState_ = BootState::Firmware;
        byteTime_ = kUartByteTime;
        model_->PowerCycle(now);
        receiver_ = FrameReceiver(model_->Header0(), model_->Header1());
    }
    Wake();
}

bool SimDevice::Chance(double fraction)
{
    if (fraction <= 0)
        return false;
    if (fraction >= 1)
        return true;
    return std::uniform_real_distribution<double>(0.0, 1.0)(rng_) < fraction;
}

// Caller holds the lock.
void SimDevice::Disconnect()
{
    if (!alias_.empty())
        UnregisterPortAlias(options_.com, alias_);
    alias_.clear();
    pty_.Close();
}

// Caller holds the lock.
bool SimDevice::Reconnect(Clock::time_point now)
{
    if (!pty_.Open() || !RegisterPortAlias(options_.com, pty_.SlavePath())) {
        pty_.Close();
        replugAt_ = now + kReplugRetry;
        return false;
    }
    alias_ = pty_.SlavePath();
    replugAt_ = Clock::time_point::max();
    // A device that was unplugged comes back as after a power cycle, and
    // with an empty line: no half frame survives on either side.
    model_->PowerCycle(now);
    receiver_ = FrameReceiver(model_->Header0(), model_->Header1());
    out_.clear();
    txIdle_ = true;
    bootState_ = BootState::Firmware;
    syncRun_ = 0;
    byteTime_ = kUartByteTime;
    delayed_.clear();
    ++stats_.plugs;
    return true;
}

// Caller holds the lock.
void SimDevice::Queue(const Frame& answer, Clock::time_point now)
{
    const SimFaults& f = options_.faults;
    if (Chance(f.drop)) {
        ++stats_.answersDropped;
        return;
    }
    std::size_t pending = out_.size();
    for (const DelayedAnswer& d : delayed_)
        pending += d.bytes.size();
    if (pending + kMaxGarbageBytes + answer.size() > kMaxQueuedBytes)
        return;
    std::vector<std::uint8_t> bytes;
    if (Chance(f.garbage)) {
        ++stats_.garbageBursts;
        const int count = std::uniform_int_distribution<int>(1, int(kMaxGarbageBytes))(rng_);
        std::uniform_int_distribution<int> byte(0, 255);
        for (int i = 0; i < count; ++i) {
            std::uint8_t b;
            do
                b = static_cast<std::uint8_t>(byte(rng_));
            while (b == model_->Header0());
            bytes.push_back(b);
        }
    }
    Frame wire = answer;
    if (Chance(f.corrupt)) {
        ++stats_.answersCorrupted;
        wire[kFrameSize - 1] ^= static_cast<std::uint8_t>(std::uniform_int_distribution<int>(1, 255)(rng_));
    }
    bytes.insert(bytes.end(), wire.begin(), wire.end());
    ++stats_.answersSent;
    if (f.answerDelay.count() > 0)
        delayed_.push_back(DelayedAnswer{now + f.answerDelay, std::move(bytes)});
    else
        out_.insert(out_.end(), bytes.begin(), bytes.end());
}

// Caller holds the lock.
void SimDevice::ReleaseDelayed(Clock::time_point now)
{
    while (!delayed_.empty() && delayed_.front().due <= now) {
        out_.insert(out_.end(), delayed_.front().bytes.begin(), delayed_.front().bytes.end());
        delayed_.pop_front();
    }
}

void SimDevice::LogFrame(const Frame& frame, Clock::time_point now)
{
    char hex[kFrameSize * 2 + 1];
    for (std::size_t i = 0; i < kFrameSize; ++i)
        std::snprintf(hex + 2 * i, 3, "%02x", frame[i]);
    std::fprintf(options_.frameLog, "%lld %s %s\n",
                 static_cast<long long>(
                     std::chrono::duration_cast<std::chrono::nanoseconds>(now.time_since_epoch()).count()),
                 options_.kind.c_str(), hex);
    std::fflush(options_.frameLog);
}

// Caller holds the lock. The wire's doing, so neither silence nor the
// board's state stops it.
void SimDevice::Echo(const std::uint8_t* bytes, std::size_t n)
{
    const SimFaults& f = options_.faults;
    if (!f.echo && !f.echoOnly)
        return;
    if (out_.size() + n > kMaxQueuedBytes)
        return;
    out_.insert(out_.end(), bytes, bytes + n);
    stats_.bytesEchoed += n;
}

// Caller holds the lock.
void SimDevice::HandleBytes(const std::uint8_t* bytes, std::size_t n, Clock::time_point now)
{
    if (now >= silentFrom_ && now < silentUntil_) {
        stats_.bytesUnheard += n;
        return;
    }
    const bool quietBefore = now - lastHeard_ >= kSyncQuiet;
    lastHeard_ = now;
    if (InBoot() && options_.paceOutput) {
        // The request crosses the line before the answer can start.
        inputDoneAt_ = std::max(inputDoneAt_, now) + byteTime_ * n;
        nextByteAt_ = std::max(nextByteAt_, inputDoneAt_);
    }
    if (bootState_ == BootState::Firmware && n > 0) {
        const bool syncs = std::all_of(bytes, bytes + n, [](std::uint8_t b) { return b == boot::kSync; });
        if (syncs && quietBefore)
            ++stats_.syncsHeard;
        syncRun_ = syncs && quietBefore ? syncRun_ + 1 : 0;
        if (syncRun_ >= kSyncsBeforeReset && !options_.bootFaults.deaf) {
            // Reset: the last sync byte sets the boot loader's baud rate.
            EnterBootLoader(now);
            bootState_ = BootState::AwaitingBaud;
            bytes += n - 1;
            n = 1;
        }
    }
    if (bootState_ == BootState::AwaitingBaud && n > 0) {
        if (bytes[0] != boot::kSync) {
            bootState_ = BootState::WrongBaud;
            return;
        }
        bootState_ = BootState::Synced;
        QueueRaw({boot_.Enter()}, now);
        ++bytes;
        --n;
    }
    if (bootState_ == BootState::WrongBaud)
        return;
    if (bootState_ == BootState::Synced) {
        for (std::size_t i = 0; i < n; ++i) {
            if (!InBoot()) {
                // Bytes after a GO belong to the new firmware.
                HandleBytes(bytes + i, n - i, now);
                return;
            }
            FeedBootLoader(bytes[i], now);
        }
        return;
    }
    Frame answer;
    receiver_.Feed(bytes, n, [&](const Frame& request) {
        ++stats_.framesReceived;
        if (options_.frameLog)
            LogFrame(request, now);
        model_->Answer(request, now, answer);
        Queue(answer, now);
    });
}

// Caller holds the lock.
void SimDevice::Flush(Clock::time_point now)
{
    if (out_.empty() || !pty_.IsOpen())
        return;
    std::size_t allowed = out_.size();
    if (options_.paceOutput) {
        // An idle line has no credit to spend; within a burst, a late wake-up
        // is made up by sending the bytes that are due together.
        if (txIdle_ && nextByteAt_ < now - byteTime_)
            nextByteAt_ = now - byteTime_;
        if (now < nextByteAt_ + byteTime_)
            return; // still waiting for the request to cross the line
        allowed = std::min<std::size_t>(allowed, static_cast<std::size_t>((now - nextByteAt_) / byteTime_));
        if (allowed == 0)
            return;
    }
    std::uint8_t buf[4096];
    allowed = std::min(allowed, sizeof buf);
    std::copy_n(out_.begin(), allowed, buf);
    const ssize_t written = write(pty_.MasterFd(), buf, allowed);
    if (written <= 0)
        return; // full (no one reads) or gone: try again when writable
    out_.erase(out_.begin(), out_.begin() + written);
    txIdle_ = out_.empty();
    if (options_.paceOutput)
        nextByteAt_ += byteTime_ * written;
}

void SimDevice::Serve(int stopFd)
{
    std::uint8_t buf[4096];
    for (;;) {
        const Clock::time_point now = Clock::now();
        Clock::time_point deadline = Clock::time_point::max();
        pollfd fds[3] = {{stopFd, POLLIN, 0}, {wakeFd_, POLLIN, 0}, {-1, 0, 0}};
        std::string announce;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (now >= scheduledUnplug_) {
                scheduledUnplug_ = Clock::time_point::max();
                Disconnect();
                replugAt_ = now + scheduledUnplugFor_;
            }
            if (!pty_.IsOpen() && now >= replugAt_ && Reconnect(now))
                announce = alias_;
            ReleaseDelayed(now);
            Flush(now);
            deadline = std::min(scheduledUnplug_, replugAt_);
            if (!delayed_.empty())
                deadline = std::min(deadline, delayed_.front().due);
            if (pty_.IsOpen() && now >= hungUpUntil_) {
                fds[2].fd = pty_.MasterFd();
                fds[2].events = POLLIN;
                if (!out_.empty()) {
                    if (options_.paceOutput)
                        deadline = std::min(deadline, nextByteAt_ + byteTime_);
                    else
                        fds[2].events |= POLLOUT;
                }
            } else if (pty_.IsOpen()) {
                deadline = std::min(deadline, hungUpUntil_);
            }
        }
        if (!announce.empty() && ready_)
            ready_(options_.kind, options_.com, announce);
        if (options_.changed)
            options_.changed();
        timespec ts{};
        timespec* timeout = nullptr;
        if (deadline != Clock::time_point::max()) {
            const auto wait = std::max(Clock::duration::zero(), deadline - now);
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
            ts.tv_sec = static_cast<time_t>(ns / 1000000000);
            ts.tv_nsec = static_cast<long>(ns % 1000000000);
            timeout = &ts;
        }
        const int ready = ppoll(fds, fds[2].fd >= 0 ? 3 : 2, timeout, nullptr);
        if (ready < 0 && errno != EINTR)
            return;
        if (fds[0].revents != 0)
            return;
        if (fds[1].revents & POLLIN) {
            std::uint64_t count;
            [[maybe_unused]] const ssize_t n = read(wakeFd_, &count, sizeof count);
        }
        if (fds[2].fd < 0 || fds[2].revents == 0)
            continue;
        std::lock_guard<std::mutex> lock(mutex_);
        if (!pty_.IsOpen() || pty_.MasterFd() != fds[2].fd)
            continue;
        const Clock::time_point got = Clock::now();
        if (fds[2].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t n = read(pty_.MasterFd(), buf, sizeof buf);
            if (n > 0) {
                Echo(buf, static_cast<std::size_t>(n));
                if (options_.faults.echoOnly)
                    stats_.bytesUnheard += static_cast<std::uint64_t>(n);
                else
                    HandleBytes(buf, static_cast<std::size_t>(n), got);
            } else if (n < 0 && errno != EAGAIN && errno != EINTR)
                hungUpUntil_ = got + kHangUpBackoff; // no slave side: do not spin on it
        }
        Flush(got);
    }
}

} // namespace qav::sim
