// What CSerialLink does the same on every platform; the device itself is
// reached through the port layer (SerialPort.h).
#include "serial/SerialLink.h"

#include "platform/PortMap.h"
#include "serial/MemoryPort.h"

#include <algorithm>
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

void CSerialLink::Fail(int code, std::string message)
{
    lastError_.code = code;
    lastError_.message = std::move(message);
}

bool CSerialLink::Open()
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
    if (!port) {
        lastError_ = std::move(error);
        return false;
    }
    port_ = std::move(port);
    devicePath_ = port_->Path();
    txRest_.clear();
    lastError_ = {};
    return true;
}

bool CSerialLink::SetLine(std::uint32_t baud, std::uint8_t parity, std::uint8_t dataBits,
                          std::uint8_t stopBits)
{
    if (!IsOpen())
        return false;
    const LineRequest line{baud, parity, dataBits, stopBits};
    if (!port_->SetLine(line, lastError_))
        return false;
    shared_->characterNs.store(line.CharacterTime().count());
    return true;
}

bool CSerialLink::Setup()
{
    if (!IsOpen())
        return false;
    if (!port_->Purge(lastError_))
        return false;
    txRest_.clear();
    return true;
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

WriteResult CSerialLink::WriteHeld()
{
    if (!IsOpen())
        return WriteResult::Refused;
    if (txRest_.empty())
        return WriteResult::Accepted;
    const std::optional<std::uint32_t> w =
        port_->WriteSome(txRest_.data(), static_cast<std::uint32_t>(txRest_.size()), lastError_);
    if (!w)
        return WriteResult::Refused;
    txRest_.erase(txRest_.begin(), txRest_.begin() + *w);
    if (*w != 0)
        WakeMonitor();
    return txRest_.empty() ? WriteResult::Accepted : WriteResult::Held;
}

WriteResult CSerialLink::Write(const std::uint8_t* bytes, std::uint32_t n)
{
    if (!IsOpen() || n == 0)
        return WriteResult::Refused;
    if (const WriteResult rest = WriteHeld(); rest == WriteResult::Refused)
        return rest;
    else if (rest == WriteResult::Held) {
        Fail(EAGAIN, devicePath_ + " is not taking bytes: a frame was dropped");
        return WriteResult::Refused;
    }
    const std::optional<std::uint32_t> written = port_->WriteSome(bytes, n, lastError_);
    if (!written)
        return WriteResult::Refused;
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

bool CSerialLink::StartMonitor(std::uint32_t extraModeBits)
{
    if (thread_.joinable())
        return false;
    mode_ |= extraModeBits;
    if (!(mode_ & MODE_EVENT_THREAD))
        return true;
    if (!IsOpen())
        return false;
    auto m = std::make_shared<LinkMonitor>();
    m->shared = shared_;
    {
        std::lock_guard guard(shared_->sessionLock);
        m->session = shared_->session;
    }
    m->watcher = port_->MakeWatcher(lastError_);
    if (!m->watcher)
        return false;
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
        Fail(e.code().value(), std::string("cannot start the event thread: ") + e.what());
        return false;
    }
    monitor_ = std::move(m);
    return true;
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

bool OpenAndStart(CSerialLink& link)
{
    if (!link.Open())
        return false;
    if (link.SetLine(kLinkBaud, CSerialLink::kNoParity, kLinkDataBits, CSerialLink::kOneStopBit) &&
        link.Setup() && link.StartMonitor(0))
        return true;
    link.Close(CSerialLink::kCloseWaitMs);
    return false;
}

} // namespace

std::string PortOpenFailure(std::string_view port, const Result& error)
{
    std::string text = "Cannot open " + std::string(port);
    if (!error.message.empty())
        text += ": " + error.message;
    return text + ".";
}

bool NameLinkDevice(CSerialLink& link, int portNumber)
{
    if (link.IsOpen())
        link.Close(CSerialLink::kCloseWaitMs);
    if (!IsValidPortNumber(portNumber)) {
        link.Fail(EINVAL, PortName(portNumber) + " is not a port: port numbers run from " +
                              std::to_string(kMinPortNumber) + " to " + std::to_string(kMaxPortNumber));
        return false;
    }
    link.SetPortNumber(portNumber);
    link.SetDeviceName(PortName(portNumber));
    return true;
}

bool OpenLinkSequence(CSerialLink& link, int portNumber)
{
    return NameLinkDevice(link, portNumber) && OpenAndStart(link);
}

bool NameLinkDevice(CSerialLink& link, std::string_view nameOrPath)
{
    if (link.IsOpen())
        link.Close(CSerialLink::kCloseWaitMs);
    if (nameOrPath.starts_with('/')) {
        link.SetPortNumber(PortNumberForDevice(nameOrPath));
        link.SetDeviceName(std::string(nameOrPath));
        return true;
    }
    const int number = PortNumberFromName(nameOrPath);
    if (number == 0) {
        link.Fail(EINVAL, "\"" + std::string(nameOrPath) + "\" is not a port: give COM1 to COM1024 or a device path");
        return false;
    }
    return NameLinkDevice(link, number);
}

bool OpenLinkSequence(CSerialLink& link, std::string_view nameOrPath)
{
    return NameLinkDevice(link, nameOrPath) && OpenAndStart(link);
}

} // namespace qav
