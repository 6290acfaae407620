#pragma once
// In-process lines for the boot loader client: what is sent is answered at
// once, and a missing answer times out at once (no time passes).
#include "BootLoaderModel.h"
#include "support/BootBytes.h"
#include "upgrade/BootPort.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <vector>

namespace qav::test {

// A line whose far end's answers wait in a queue until the PC reads them.
class QueuedAnswersLine : public IBootLine
{
public:
    PortIo Receive(std::span<std::uint8_t> dest, std::chrono::milliseconds) override
    {
        if (answers_.size() < dest.size())
            return PortIo::TimedOut;
        for (auto& b : dest) {
            b = answers_.front();
            answers_.pop_front();
        }
        return PortIo::Ok;
    }
    void DiscardInput() override { answers_.clear(); }
    // Everything the PC sent, in order.
    const Bytes& Sent() const { return sent_; }

protected:
    std::deque<std::uint8_t> answers_;
    Bytes sent_;
};

// The PC's line wired straight to a simulated boot loader. A sync byte to a
// board not yet in its boot loader enters it, as a reset board would.
class ModelLine final : public QueuedAnswersLine
{
public:
    explicit ModelLine(sim::BootLoaderModel& m) : m_(m) {}
    // A boot loader already running, as a cancelled run left it: `heard` fed
    // to it, its answers still on their way (they arrive after the next
    // request is sent).
    void LeftBehind(const Bytes& heard)
    {
        inBoot_ = true;
        for (std::uint8_t b : heard)
            m_.Feed(b, late_);
    }
    PortIo Send(std::span<const std::uint8_t> bytes, std::chrono::milliseconds) override
    {
        sent_.insert(sent_.end(), bytes.begin(), bytes.end());
        answers_.insert(answers_.end(), late_.begin(), late_.end());
        late_.clear();
        for (std::uint8_t b : bytes) {
            Bytes out;
            if (!inBoot_ && b == 0x7F) {
                inBoot_ = true;
                out.push_back(m_.Enter());
            } else if (inBoot_) {
                m_.Feed(b, out);
            }
            answers_.insert(answers_.end(), out.begin(), out.end());
        }
        return PortIo::Ok;
    }

private:
    sim::BootLoaderModel& m_;
    Bytes late_;
    bool inBoot_ = false;
};

// A line whose far end answers each byte by a fixed rule.
class ScriptedLine final : public QueuedAnswersLine
{
public:
    explicit ScriptedLine(std::function<Bytes(std::uint8_t)> rule) : rule_(std::move(rule)) {}
    PortIo Send(std::span<const std::uint8_t> bytes, std::chrono::milliseconds) override
    {
        sent_.insert(sent_.end(), bytes.begin(), bytes.end());
        for (std::uint8_t b : bytes)
            for (std::uint8_t a : rule_(b))
                answers_.push_back(a);
        return PortIo::Ok;
    }

private:
    std::function<Bytes(std::uint8_t)> rule_;
};

// A boot loader whose answers are written out in a test: each exchange is
// the bytes the PC must send and the bytes that answer them, in order. Bytes
// that do not match the next exchange stop the script (Unexpected() shows
// them); a missing answer times out at once.
class ScriptLine final : public QueuedAnswersLine
{
public:
    struct Exchange
    {
        Bytes request;
        Bytes answer;
    };
    explicit ScriptLine(std::vector<Exchange> script) : script_(std::move(script)) {}
    PortIo Send(std::span<const std::uint8_t> bytes, std::chrono::milliseconds) override
    {
        sent_.insert(sent_.end(), bytes.begin(), bytes.end());
        if (!unexpected_.empty()) {
            unexpected_.insert(unexpected_.end(), bytes.begin(), bytes.end());
            return PortIo::Ok;
        }
        heard_.insert(heard_.end(), bytes.begin(), bytes.end());
        while (next_ < script_.size() && !heard_.empty()) {
            const Bytes& want = script_[next_].request;
            const std::size_t n = std::min(want.size(), heard_.size());
            if (!std::equal(heard_.begin(), heard_.begin() + static_cast<std::ptrdiff_t>(n), want.begin())) {
                unexpected_ = heard_;
                return PortIo::Ok;
            }
            if (n < want.size())
                break;
            heard_.erase(heard_.begin(), heard_.begin() + static_cast<std::ptrdiff_t>(n));
            const Bytes& answer = script_[next_++].answer;
            answers_.insert(answers_.end(), answer.begin(), answer.end());
        }
        if (next_ == script_.size() && !heard_.empty())
            unexpected_ = heard_;
        return PortIo::Ok;
    }
    bool Done() const { return next_ == script_.size() && unexpected_.empty(); }
    // What was sent from the first byte the script did not expect.
    const Bytes& Unexpected() const { return unexpected_; }

private:
    std::vector<Exchange> script_;
    std::size_t next_ = 0;
    Bytes heard_;
    Bytes unexpected_;
};

// A line that never stops bringing the same byte, whatever is sent.
class FloodLine final : public IBootLine
{
public:
    explicit FloodLine(std::uint8_t byte) : byte_(byte) {}
    PortIo Send(std::span<const std::uint8_t>, std::chrono::milliseconds) override { return PortIo::Ok; }
    PortIo Receive(std::span<std::uint8_t> dest, std::chrono::milliseconds) override
    {
        std::fill(dest.begin(), dest.end(), byte_);
        return PortIo::Ok;
    }
    void DiscardInput() override {}

private:
    std::uint8_t byte_;
};

} // namespace qav::test
