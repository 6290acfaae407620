// What CSerialLink does the same on every platform; the device itself is
// reached through the port layer (SerialPort.h).
#include "serial/SerialLink.h"

#include "platform/PortMap.h"
#include "serial/MemoryPort.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <system_error>

namespace qav {

using std::chrono::milliseconds;

std::chrono::nanoseconds LineRequest::CharacterTime() const
{
    if (baud == 0)
        return std::chrono::nanoseconds::zero();
    const std::int64_t bits = 1 + dataBits + (parity != 0 ? 1 : 0) + (stopBits == 0 ? 1 : 2);
    return std::chrono::nanoseconds(bits * 1'000'000'000 / baud);
}

void LinkShared::Post(std::uint32_t message, std::intptr_t lParam)
{
    std::weak_ptr<INotifySink> target;
    {
        std::lock_guard guard(ownerLock);
        target = owner;
    }
    PostNotification(target, message, portNumber.load(), lParam);
}

LinkMonitor::~LinkMonitor() = default;

LineDispatch LinkMonitor::MakeDispatch(ILinePort& port, std::vector<std::uint8_t>& scratch)
{
    return LineDispatch{port,
                        scratch,
                        shared->receivedTotal,
                        [this](const std::uint8_t* bytes, std::uint32_t n) {
                            return InSession([&] { shared->queue.Append(bytes, n); });
                        },
                        [this](std::uint32_t message, std::intptr_t lParam) {
                            return InSession([&] { shared->Post(message, lParam); });
                        },
                        [this] {
                            return shared->notifyReceived.load() &&
                                   shared->queue.QueuedCount() >= shared->notifyThreshold.load();
                        }};
}

void LinkMonitor::MarkFarSideGone()
{
    InSession([&] { shared->farSideGone.store(true); });
}

std::chrono::nanoseconds LinkMonitor::RestOfFrame(std::chrono::nanoseconds cap) const
{
    const std::uint32_t queued = shared->queue.QueuedCount();
    const std::uint32_t wanted = shared->notifyThreshold.load();
    const std::int64_t character = shared->characterNs.load();
    if (queued >= wanted || character <= 0)
        return std::chrono::nanoseconds::zero();
    return std::min(std::chrono::nanoseconds((wanted - queued) * character), cap);
}

CSerialLink::CSerialLink() : shared_(std::make_shared<LinkShared>())
{
    shared_->queue.SetLimit(kReceiveLimit);
}

void CSerialLink::SetReceiveLimit(std::uint32_t bytes)
{
    shared_->queue.SetLimit(bytes);
}

std::uint64_t CSerialLink::DroppedTotal() const
{
    return shared_->queue.DroppedCount();
}

CSerialLink::~CSerialLink()
{
    Close(kCloseWaitMs);
}

void CSerialLink::SetOwner(std::weak_ptr<INotifySink> owner)
{
    std::lock_guard guard(shared_->ownerLock);
    shared_->owner = std::move(owner);
}

void CSerialLink::SetPortNumber(int number)
{
    shared_->portNumber.store(number);
}

int CSerialLink::PortNumber() const
{
    return shared_->portNumber.load();
}

namespace {

// Only a closed link asks for these; nothing a user reads.
Result Closed()
{
    return Result::Failed(ENXIO, "the port is closed");
}

// Hands a failure to the one who asked for it.
void Tell(Result* why, Result failure)
{
    if (why)
        *why = std::move(failure);
}

} // namespace

Result CSerialLink::Open()
{
    if (IsOpen())
        Close(kCloseWaitMs);
    // Nothing of an earlier opening reaches this one: its event thread has
    // been stopped (or let go and cut off), and what it queued is dropped.
    shared_->farSideGone.store(false);
    shared_->queue.Clear();
    Result error;
    std::unique_ptr<IPortDevice> port = OpenMemoryPort(deviceName_, error);
    if (!port && error.Ok())
        port = OpenSystemPort(deviceName_, error);
    if (!port)
        return error;
    port_ = std::move(port);
    devicePath_ = port_->Path();
    txRest_.clear();
    return {};
}

Result CSerialLink::SetLine(std::uint32_t baud, std::uint8_t parity, std::uint8_t dataBits,
                            std::uint8_t stopBits)
{
    if (!IsOpen())
        return Closed();
    const LineRequest line{baud, parity, dataBits, stopBits};
    if (Result r = port_->SetLine(line); !r)
        return r;
    shared_->characterNs.store(line.CharacterTime().count());
    return {};
}

Result CSerialLink::Setup()
{
    if (!IsOpen())
        return Closed();
    if (Result r = port_->Purge(); !r)
        return r;
    txRest_.clear();
    return {};
}

void CSerialLink::Close(milliseconds wait)
{
    if (!IsOpen())
        return;
    if (thread_.joinable())
        StopMonitor(wait);
    port_.reset();
    devicePath_.clear();
    txRest_.clear();
}

WriteResult CSerialLink::WriteHeld(Result* why)
{
    if (!IsOpen())
        return WriteResult::Refused;
    if (txRest_.empty())
        return WriteResult::Accepted;
    Result error;
    const std::optional<std::uint32_t> w =
        port_->WriteSome(txRest_.data(), static_cast<std::uint32_t>(txRest_.size()), error);
    if (!w) {
        Tell(why, std::move(error));
        return WriteResult::Refused;
    }
    txRest_.erase(txRest_.begin(), txRest_.begin() + *w);
    if (*w != 0)
        WakeMonitor();
    return txRest_.empty() ? WriteResult::Accepted : WriteResult::Held;
}

WriteResult CSerialLink::Write(const std::uint8_t* bytes, std::uint32_t n, Result* why)
{
    if (!IsOpen() || n == 0)
        return WriteResult::Refused;
    if (const WriteResult rest = WriteHeld(why); rest == WriteResult::Refused)
        return rest;
    else if (rest == WriteResult::Held) {
        Tell(why, Result::Failed(EAGAIN, devicePath_ + " is not taking bytes: a frame was dropped"));
        return WriteResult::Refused;
    }
    Result error;
    const std::optional<std::uint32_t> written = port_->WriteSome(bytes, n, error);
    if (!written) {
        Tell(why, std::move(error));
        return WriteResult::Refused;
    }
    if (*written < n)
        txRest_.assign(bytes + *written, bytes + n);
    sentTotal_ += n;
    WakeMonitor();
    return *written < n ? WriteResult::Held : WriteResult::Accepted;
}

std::uint32_t CSerialLink::Read(std::uint8_t* dest, std::uint32_t n, milliseconds timeout)
{
    if (HasRxQueue())
        return shared_->queue.Take(dest, n);
    if (!IsOpen() || !dest || n == 0)
        return 0;
    const std::uint32_t got = port_->ReadDirect(dest, n, timeout == kInfinite ? milliseconds(-1) : timeout);
    shared_->receivedTotal.fetch_add(got, std::memory_order_relaxed);
    return got;
}

void CSerialLink::SetNotifyThreshold(std::uint32_t bytes)
{
    shared_->notifyThreshold.store(std::max<std::uint32_t>(bytes, 1));
}

void CSerialLink::NotifyReceived(bool notify)
{
    shared_->notifyReceived.store(notify);
    UpdateOwnerReads();
}

void CSerialLink::UpdateOwnerReads()
{
    const bool own = !shared_->notifyReceived.load() && port_ && port_->OwnerCanRead();
    if (shared_->ownerReads.exchange(own) != own && monitor_)
        monitor_->watcher->Rewatch();
}

std::uint32_t CSerialLink::TakeArrived()
{
    if (!IsOpen() || !shared_->ownerReads.load())
        return 0;
    std::lock_guard reading(shared_->readLock);
    std::array<std::uint8_t, 1024> buffer; // only what ReadNow filled is read
    std::uint32_t total = 0;
    for (;;) {
        const std::uint32_t got = port_->ReadNow(buffer.data(), buffer.size());
        if (got != 0)
            shared_->queue.Append(buffer.data(), got);
        shared_->receivedTotal.fetch_add(got, std::memory_order_relaxed);
        total += got;
        if (got < buffer.size())
            return total;
    }
}

std::uint32_t CSerialLink::QueuedCount() const
{
    return shared_->queue.QueuedCount();
}

std::uint32_t CSerialLink::ReceivedTotal() const
{
    return shared_->receivedTotal.load();
}

bool CSerialLink::FarSideGone() const
{
    return shared_->farSideGone.load();
}

Result CSerialLink::StartMonitor(std::uint32_t extraModeBits)
{
    if (thread_.joinable())
        return Result::Failed(EBUSY, "the event thread runs already");
    mode_ |= extraModeBits;
    if (!(mode_ & MODE_EVENT_THREAD))
        return {};
    if (!IsOpen())
        return Closed();
    auto m = std::make_shared<LinkMonitor>();
    m->shared = shared_;
    {
        std::lock_guard guard(shared_->sessionLock);
        m->session = shared_->session;
    }
    Result error;
    m->watcher = port_->MakeWatcher(error);
    if (!m->watcher)
        return error;
    try {
        thread_ = std::thread([m] {
            m->watcher->Run(*m);
            {
                std::lock_guard guard(m->exitLock);
                m->exited = true;
            }
            m->exitSignal.notify_all();
        });
    } catch (const std::system_error& e) {
        return Result::Failed(e.code().value(), std::string("cannot start the event thread: ") + e.what());
    }
    monitor_ = std::move(m);
    UpdateOwnerReads();
    return {};
}

bool CSerialLink::StopMonitor(milliseconds wait)
{
    if (!thread_.joinable())
        return false;
    const std::shared_ptr<LinkMonitor> m = std::move(monitor_);
    {
        // From here on the thread can neither queue, flag nor post.
        std::lock_guard guard(shared_->sessionLock);
        ++shared_->session;
    }
    m->stopping.store(true);
    m->watcher->Stop();
    bool ended = false;
    {
        std::unique_lock guard(m->exitLock);
        ended = m->exitSignal.wait_for(guard, wait, [&] { return m->exited; });
    }
    if (ended)
        thread_.join();
    else
        thread_.detach(); // it ends on its own; see the header
    return true;
}

void CSerialLink::WakeMonitor()
{
    if (monitor_) {
        monitor_->txPending.store(true);
        monitor_->watcher->TransmitStarted();
    }
}

namespace {

constexpr std::uint32_t kLinkBaud = 115200;
constexpr std::uint8_t kLinkDataBits = 8;

Result OpenAndStart(CSerialLink& link)
{
    if (Result r = link.Open(); !r)
        return r;
    Result r = link.SetLine(kLinkBaud, CSerialLink::kNoParity, kLinkDataBits, CSerialLink::kOneStopBit);
    if (r)
        r = link.Setup();
    if (r)
        r = link.StartMonitor(0);
    if (!r)
        link.Close(CSerialLink::kCloseWaitMs);
    return r;
}

} // namespace

std::string PortOpenFailure(std::string_view port, const Result& error)
{
    std::string text = "Cannot open " + std::string(port);
    if (!error.message.empty())
        text += ": " + error.message;
    return text + ".";
}

Result NameLinkDevice(CSerialLink& link, int portNumber)
{
    if (link.IsOpen())
        link.Close(CSerialLink::kCloseWaitMs);
    if (!IsValidPortNumber(portNumber))
        return Result::Failed(EINVAL, PortName(portNumber) + " is not a port: port numbers run from " +
                                          std::to_string(kMinPortNumber) + " to " +
                                          std::to_string(kMaxPortNumber));
    link.SetPortNumber(portNumber);
    link.SetDeviceName(PortName(portNumber));
    return {};
}

Result OpenLinkSequence(CSerialLink& link, int portNumber)
{
    if (Result r = NameLinkDevice(link, portNumber); !r)
        return r;
    return OpenAndStart(link);
}

Result NameLinkDevice(CSerialLink& link, std::string_view nameOrPath)
{
    if (link.IsOpen())
        link.Close(CSerialLink::kCloseWaitMs);
    if (nameOrPath.starts_with('/')) {
        link.SetPortNumber(PortNumberForDevice(nameOrPath));
        link.SetDeviceName(std::string(nameOrPath));
        return {};
    }
    const int number = PortNumberFromName(nameOrPath);
    if (number == 0)
        return Result::Failed(EINVAL, "\"" + std::string(nameOrPath) +
                                          "\" is not a port: give COM1 to COM1024 or a device path");
    return NameLinkDevice(link, number);
}

Result OpenLinkSequence(CSerialLink& link, std::string_view nameOrPath)
{
    if (Result r = NameLinkDevice(link, nameOrPath); !r)
        return r;
    return OpenAndStart(link);
}

} // namespace qav
