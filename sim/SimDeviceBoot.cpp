// The simulated device's boot loader side: entering and leaving it, its
// answers on the line, and what tests read of it.
#include "SimDevice.h"

#include "upgrade/BootLoader.h"

#include <algorithm>

namespace qav::sim {

void SimDevice::SetBootFaults(const BootFaults& faults)
{
    std::lock_guard<std::mutex> lock(mutex_);
    boot_.SetFaults(faults);
}

std::vector<std::uint8_t> SimDevice::Flash() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return boot_.Flash();
}

BootStats SimDevice::BootLoaderStats() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return boot_.Stats();
}

bool SimDevice::InBootLoader() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return InBoot();
}

void SimDevice::ResetIntoBootLoader()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (options_.bootFaults.deaf)
            return;
        EnterBootLoader(Clock::now());
        bootState_ = BootState::AwaitingBaud;
    }
    Wake();
}

// Caller holds the lock. The boot loader's answers are late by the same
// answer delay as the firmware's, as a slow adapter delivers every byte.
void SimDevice::QueueRaw(const std::vector<std::uint8_t>& bytes, Clock::time_point now)
{
    if (bytes.empty())
        return;
    std::size_t pending = out_.size();
    for (const DelayedAnswer& d : delayed_)
        pending += d.bytes.size();
    if (pending + bytes.size() > kMaxQueuedBytes)
        return;
    if (options_.faults.answerDelay.count() > 0)
        delayed_.push_back(DelayedAnswer{now + options_.faults.answerDelay, bytes});
    else
        out_.insert(out_.end(), bytes.begin(), bytes.end());
}

// Caller holds the lock. GO: the new firmware runs and answers frames again.
void SimDevice::LeaveBootLoader(std::uint32_t address)
{
    bootState_ = BootState::Firmware;
    syncRun_ = 0;
    byteTime_ = kUartByteTime;
    if (const auto version = boot_.VersionAt(address))
        model_->SetFirmware(*version);
    model_->PowerCycle(Clock::now());
    receiver_ = FrameReceiver(model_->Header0(), model_->Header1());
}

// Caller holds the lock.
void SimDevice::FeedBootLoader(std::uint8_t b, Clock::time_point now)
{
    std::vector<std::uint8_t> answer;
    const auto started = boot_.Feed(b, answer);
    QueueRaw(answer, now);
    if (started)
        LeaveBootLoader(*started);
}

// Caller holds the lock. A reset with the boot jumper set: the running
// firmware and whatever it still had to say are gone.
void SimDevice::EnterBootLoader(Clock::time_point now)
{
    byteTime_ = kBootByteTime;
    out_.clear();
    delayed_.clear();
    txIdle_ = true;
    syncRun_ = 0;
    if (options_.paceOutput) {
        inputDoneAt_ = now + byteTime_;
        nextByteAt_ = std::max(nextByteAt_, inputDoneAt_);
    }
}

} // namespace qav::sim
