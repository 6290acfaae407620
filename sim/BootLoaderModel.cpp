#include "BootLoaderModel.h"

#include "upgrade/BootLoader.h"

#include <algorithm>

namespace qav::sim {
namespace {

using namespace boot;
constexpr std::uint8_t kBootVersion = 0x22;
// The flash size register holds 16 bits.
constexpr std::uint32_t kFlashSizeBytes = 2;

std::uint8_t Xor(const std::vector<std::uint8_t>& bytes, std::size_t from, std::size_t to)
{
    std::uint8_t x = 0;
    for (std::size_t i = from; i < to; ++i)
        x ^= bytes[i];
    return x;
}

} // namespace

std::vector<std::uint8_t> SimFirmwareImage(std::uint8_t version, std::size_t size, std::uint32_t seed)
{
    std::vector<std::uint8_t> image(size);
    std::uint32_t x = seed * 2654435761u + 1;
    for (auto& b : image) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    // Starts as a program does: a stack pointer in RAM, then a reset
    // address (Thumb) inside the image when it sits at the flash's base.
    const std::uint32_t reset = std::min<std::uint32_t>(0x100, static_cast<std::uint32_t>(size) - 1) & ~1u;
    const std::uint32_t vectors[2] = {0x20005000, (kSimFlashBase + reset) | 1u};
    for (std::size_t i = 0; i < 8 && i < size; ++i)
        image[i] = static_cast<std::uint8_t>(vectors[i / 4] >> (8 * (i % 4)));
    if (size > kSimVersionOffset)
        image[kSimVersionOffset] = version;
    return image;
}

BootLoaderModel::BootLoaderModel(const ChipInfo& chip, std::uint32_t flashKiB,
                                 const std::vector<std::uint8_t>& contents, BootFaults faults)
    : chip_(chip), flash_(std::size_t(flashKiB) * 1024, 0xFF), faults_(faults)
{
    std::copy_n(contents.begin(), std::min(contents.size(), flash_.size()), flash_.begin());
}

void BootLoaderModel::SetFaults(const BootFaults& faults)
{
    faults_ = faults;
    silenceSpent_ = false;
    heard_ = 0;
    writesBefore_ = stats_.writes + stats_.refusedWrites;
    readsBefore_ = stats_.reads;
}

std::uint8_t BootLoaderModel::Enter()
{
    ++stats_.entries;
    ++stats_.bytesHeard;
    ++stats_.bytesSent;
    state_ = State::Command;
    buffer_.clear();
    heard_ = 0;
    return kAck;
}

void BootLoaderModel::Reply(std::vector<std::uint8_t>& out, bool ack)
{
    out.push_back(ack ? kAck : kNack);
    state_ = State::Command;
    buffer_.clear();
}

std::uint8_t BootLoaderModel::EraseCommand() const
{
    return faults_.erase != 0 ? faults_.erase : chip_.documentedErase;
}

bool BootLoaderModel::InFlash(std::uint32_t address, std::size_t n) const
{
    return address >= chip_.flashBase && std::uint64_t(address) - chip_.flashBase + n <= flash_.size();
}

bool BootLoaderModel::ReadableAt(std::uint32_t address, std::size_t n) const
{
    return InFlash(address, n) || (address >= chip_.flashSizeRegister &&
                                   std::uint64_t(address) + n <= chip_.flashSizeRegister + kFlashSizeBytes);
}

std::uint8_t BootLoaderModel::ByteAt(std::uint32_t address) const
{
    if (InFlash(address, 1))
        return flash_[address - chip_.flashBase];
    const std::uint32_t kib = static_cast<std::uint32_t>(flash_.size() / 1024);
    switch (address - chip_.flashSizeRegister) {
    case 0:
        return static_cast<std::uint8_t>(kib);
    case 1:
        return static_cast<std::uint8_t>(kib >> 8);
    default:
        return 0xFF;
    }
}

std::optional<std::uint8_t> BootLoaderModel::VersionAt(std::uint32_t address) const
{
    if (!InFlash(address + kSimVersionOffset, 1))
        return std::nullopt;
    return flash_[address + kSimVersionOffset - chip_.flashBase];
}

std::optional<std::uint32_t> BootLoaderModel::Feed(std::uint8_t b, std::vector<std::uint8_t>& out)
{
    if (state_ == State::Silent)
        return std::nullopt;
    ++heard_;
    if (!silenceSpent_ && faults_.silentAfter >= 0 && heard_ > faults_.silentAfter) {
        silenceSpent_ = true;
        state_ = State::Silent;
        return std::nullopt;
    }
    ++stats_.bytesHeard;
    const std::size_t before = out.size();
    const auto started = Step(b, out);
    stats_.bytesSent += static_cast<long>(out.size() - before);
    return started;
}

std::optional<std::uint32_t> BootLoaderModel::Step(std::uint8_t b, std::vector<std::uint8_t>& out)
{
    buffer_.push_back(b);
    switch (state_) {
    case State::Command:
        command_ = b;
        state_ = State::Complement;
        buffer_.clear();
        break;
    case State::Complement:
        if (b != static_cast<std::uint8_t>(~command_)) {
            Reply(out, false);
            break;
        }
        OnCommand(out);
        break;
    case State::Address:
        if (buffer_.size() == 5)
            return OnAddress(out);
        break;
    case State::ReadLength:
        if (buffer_.size() == 2)
            OnReadLength(out);
        break;
    case State::WriteData:
        if (buffer_.size() == 1)
            want_ = std::size_t(buffer_[0]) + 3; // N-1, N bytes, checksum
        if (buffer_.size() == want_)
            OnWriteData(out);
        break;
    case State::EraseCount:
        if (command_ == kErase) {
            want_ = b == 0xFF ? 2 : std::size_t(b) + 3; // N-1, N pages, checksum
        } else if (buffer_.size() == 2) {
            const unsigned n = unsigned(buffer_[0]) << 8 | buffer_[1];
            want_ = n >= 0xFFF0 ? 3 : 2 + 2 * (std::size_t(n) + 1) + 1;
        } else {
            break;
        }
        state_ = State::ErasePages;
        break;
    case State::ErasePages:
        if (buffer_.size() == want_)
            OnErase(out);
        break;
    case State::Silent:
        break;
    }
    return std::nullopt;
}

void BootLoaderModel::OnCommand(std::vector<std::uint8_t>& out)
{
    buffer_.clear();
    switch (command_) {
    case kGet: {
        const std::vector<std::uint8_t> commands{
            kGet, kGetVersion, kGetId, kReadMemory, kGo, kWriteMemory, EraseCommand()};
        out.push_back(kAck);
        out.push_back(static_cast<std::uint8_t>(commands.size()));
        out.push_back(kBootVersion);
        out.insert(out.end(), commands.begin(), commands.end());
        Reply(out, true);
        return;
    }
    case kGetVersion:
        out.insert(out.end(), {kAck, kBootVersion, 0, 0});
        Reply(out, true);
        return;
    case kGetId:
        out.insert(out.end(), {kAck, 1, static_cast<std::uint8_t>(chip_.id >> 8),
                               static_cast<std::uint8_t>(chip_.id)});
        Reply(out, true);
        return;
    case kReadMemory:
    case kWriteMemory:
        if (faults_.readProtected)
            break;
        [[fallthrough]];
    case kGo:
        out.push_back(kAck);
        state_ = State::Address;
        return;
    case kErase:
    case kExtendedErase:
        if (command_ != EraseCommand())
            break;
        out.push_back(kAck);
        state_ = State::EraseCount;
        return;
    default:
        break;
    }
    Reply(out, false);
}

std::optional<std::uint32_t> BootLoaderModel::OnAddress(std::vector<std::uint8_t>& out)
{
    const std::uint32_t address = std::uint32_t(buffer_[0]) << 24 | std::uint32_t(buffer_[1]) << 16 |
                                  std::uint32_t(buffer_[2]) << 8 | buffer_[3];
    const bool sumOk = Xor(buffer_, 0, 4) == buffer_[4];
    const bool valid = command_ == kReadMemory ? ReadableAt(address, 1) : InFlash(address, 1);
    if (!sumOk || !valid) {
        Reply(out, false);
        return std::nullopt;
    }
    address_ = address;
    buffer_.clear();
    out.push_back(kAck);
    if (command_ == kReadMemory) {
        state_ = State::ReadLength;
    } else if (command_ == kWriteMemory) {
        state_ = State::WriteData;
    } else {
        ++stats_.starts;
        state_ = State::Command;
        return address;
    }
    return std::nullopt;
}

void BootLoaderModel::OnReadLength(std::vector<std::uint8_t>& out)
{
    const std::size_t n = std::size_t(buffer_[0]) + 1;
    if (buffer_[1] != static_cast<std::uint8_t>(~buffer_[0]) || !ReadableAt(address_, n)) {
        Reply(out, false);
        return;
    }
    out.push_back(kAck);
    const std::size_t at = out.size();
    for (std::size_t i = 0; i < n; ++i)
        out.push_back(ByteAt(address_ + static_cast<std::uint32_t>(i)));
    if (InFlash(address_, n)) {
        ++stats_.reads;
        if (stats_.reads - readsBefore_ == faults_.corruptRead)
            out[at + n / 2] ^= 0x5A;
    }
    state_ = State::Command;
    buffer_.clear();
}

void BootLoaderModel::OnWriteData(std::vector<std::uint8_t>& out)
{
    const std::size_t n = std::size_t(buffer_[0]) + 1;
    const bool sumOk = Xor(buffer_, 0, n + 1) == buffer_[n + 1];
    const int index = stats_.writes + stats_.refusedWrites - writesBefore_ + 1;
    const bool refused = faults_.refuseWrite > 0 && index >= faults_.refuseWrite &&
                         index < faults_.refuseWrite + faults_.refuseWriteCount;
    bool ok = sumOk && !refused && n % 4 == 0 && address_ % 4 == 0 && InFlash(address_, n);
    if (ok) {
        const auto target = flash_.begin() + (address_ - chip_.flashBase);
        ok = std::all_of(target, target + static_cast<std::ptrdiff_t>(n),
                         [](std::uint8_t v) { return v == 0xFF; });
        if (ok)
            std::copy_n(buffer_.begin() + 1, n, target);
    }
    ok ? ++stats_.writes : ++stats_.refusedWrites;
    Reply(out, ok);
}

void BootLoaderModel::OnErase(std::vector<std::uint8_t>& out)
{
    const auto flashBytes = static_cast<std::uint32_t>(flash_.size());
    std::vector<std::size_t> pages;
    bool all = false;
    bool ok = Xor(buffer_, 0, buffer_.size() - 1) == buffer_.back();
    if (command_ == kErase) {
        if (buffer_[0] == 0xFF) {
            ok = ok && buffer_[1] == 0x00;
            all = true;
        } else {
            for (std::size_t i = 1; i + 1 < buffer_.size(); ++i)
                pages.push_back(buffer_[i]);
        }
    } else {
        const unsigned n = unsigned(buffer_[0]) << 8 | buffer_[1];
        if (n >= 0xFFF0) {
            all = true;
        } else {
            for (std::size_t i = 2; i + 2 < buffer_.size(); i += 2)
                pages.push_back(std::size_t(buffer_[i]) << 8 | buffer_[i + 1]);
        }
    }
    if (all)
        for (std::uint32_t p = 0; PageNumbered(chip_, flashBytes, p); ++p)
            pages.push_back(p);
    std::vector<FlashPage> units;
    for (std::size_t p : pages) {
        const auto unit = PageNumbered(chip_, flashBytes, static_cast<std::uint32_t>(p));
        ok = ok && unit;
        if (unit)
            units.push_back(*unit);
    }
    if (ok) {
        for (const FlashPage& u : units)
            std::fill_n(flash_.begin() + u.offset, u.size, 0xFF);
        stats_.pagesErased += static_cast<int>(units.size());
    }
    Reply(out, ok);
}

} // namespace qav::sim
