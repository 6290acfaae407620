#include "Simulator.h"

#include "platform/PortMap.h"

#include <cerrno>
#include <cstring>
#include <sys/eventfd.h>
#include <unistd.h>

namespace qav::sim {
namespace {

class ControllerDevice final : public IDeviceModel
{
public:
    ControllerDevice(ControllerModelConfig config, Clock::time_point start) : model(std::move(config), start)
    {
    }
    std::uint8_t Header0() const override { return kControllerHeader0; }
    std::uint8_t Header1() const override { return kControllerHeader1; }
    void Answer(const Frame& request, Clock::time_point now, Frame& out) override
    {
        model.Answer(request, now, out);
    }
    void PowerCycle(Clock::time_point now) override { model.PowerCycle(now); }
    void RefuseFlashWrites(int count) override { model.RefuseFlashWrites(count); }
    void SetFirmware(std::uint8_t tenths) override { model.SetFirmware(tenths); }
    ControllerModel model;
};

class MotorDevice final : public IDeviceModel
{
public:
    explicit MotorDevice(MotorBoardConfig config) : model(config) {}
    std::uint8_t Header0() const override { return kMotorHeader0; }
    std::uint8_t Header1() const override { return kMotorHeader1; }
    void Answer(const Frame& request, Clock::time_point now, Frame& out) override
    {
        model.Answer(request, now, out);
    }
    void PowerCycle(Clock::time_point) override { model.PowerCycle(); }
    void RefuseFlashWrites(int count) override { model.RefuseFlashWrites(count); }
    void SetFirmware(std::uint8_t tenths) override { model.SetFirmware(tenths); }
    MotorBoardModel model;
};

// The controller's boot loader lists ERASE, the motor board's EXTENDED
// ERASE, so both ways of erasing get used.
constexpr std::uint32_t kControllerFlashKiB = 128;
constexpr std::uint32_t kMotorFlashKiB = 64;
// What each board holds at start: an image of the configured version.
constexpr std::size_t kStartImageSize = 8 * 1024;

Result Fail(std::string message)
{
    return Result::Failed(EINVAL, std::move(message));
}

} // namespace

Simulator::Simulator(SimulatorConfig config) : config_(std::move(config)) {}

Simulator::~Simulator()
{
    Stop();
}

Result Simulator::Start()
{
    if (stopFd_ >= 0)
        return Fail("the simulator is already running");
    const int coms[] = {config_.controllerCom, config_.motorCom};
    if (coms[0] == 0 && coms[1] == 0)
        return Fail("no device to simulate: give --controller COM<n>, --motor COM<m> or both");
    for (int com : coms) {
        if (com == 0)
            continue;
        if (!IsValidPortNumber(com))
            return Fail(PortName(com) + " is not a port name between COM1 and COM1024");
        if (IsAliasLive(com))
            return Fail(PortName(com) + " is already taken by a live alias to " +
                        AliasTarget(com).value_or("?"));
    }
    if (coms[0] == coms[1])
        return Fail("the controller and the motor board need different COM names");
    for (std::uint16_t chip : {config_.controllerChip, config_.motorChip})
        if (!FindChip(chip))
            return Fail("the boot loader cannot play chip " + ChipText(chip) +
                        ": it is not in the chip table");

    const Clock::time_point start = Clock::now();
    if (!config_.frameLog.empty()) {
        frameLog_ = std::fopen(config_.frameLog.c_str(), "w");
        if (!frameLog_)
            return Fail("cannot write the frame log " + config_.frameLog + ": " + std::strerror(errno));
    }
    if (config_.controllerCom != 0) {
        ControllerModelConfig mc;
        mc.firmware = config_.controllerFirmware;
        mc.flashPath = config_.flashPath;
        mc.calibrationTime = config_.calibrationTime;
        mc.seed = config_.seed;
        mc.attitude = config_.attitude;
        mc.sticks = config_.sticks;
        mc.held = config_.held;
        auto device = std::make_unique<ControllerDevice>(mc, start);
        if (const Result r = device->model.LoadFlash(); !r)
            return Fail("cannot read the flash file " + config_.flashPath + ": " + r.message);
        controllerModel_ = &device->model;
        controller_ = std::make_unique<SimDevice>(
            SimDeviceOptions{"controller", config_.controllerCom, config_.faults, config_.paceOutput,
                             config_.seed, frameLog_, config_.controllerChip, kControllerFlashKiB,
                             SimFirmwareImage(config_.controllerFirmware, kStartImageSize, config_.seed),
                             config_.bootFaults, [this] { Changed(); }},
            std::move(device), ready_);
    }
    if (config_.motorCom != 0) {
        MotorBoardConfig mc;
        mc.firmware = config_.motorFirmware;
        mc.seed = config_.seed + 1;
        mc.flashPath = config_.motorFlashPath;
        auto device = std::make_unique<MotorDevice>(mc);
        if (const Result r = device->model.LoadFlash(); !r) {
            Stop();
            return Fail("cannot read the motor flash file " + config_.motorFlashPath + ": " + r.message);
        }
        motorModel_ = &device->model;
        motor_ = std::make_unique<SimDevice>(
            SimDeviceOptions{"motor", config_.motorCom, config_.faults, config_.paceOutput, config_.seed + 1,
                             frameLog_, config_.motorChip, kMotorFlashKiB,
                             SimFirmwareImage(config_.motorFirmware, kStartImageSize, config_.seed + 1),
                             config_.bootFaults, [this] { Changed(); }},
            std::move(device), ready_);
    }

    stopFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (stopFd_ < 0) {
        const std::string why = std::strerror(errno);
        Stop();
        return Fail("cannot create an event descriptor: " + why);
    }
    for (SimDevice* d : {controller_.get(), motor_.get()}) {
        if (d == nullptr)
            continue;
        Result r = d->Plug();
        if (r)
            r = d->Start(stopFd_, start);
        if (!r) {
            Stop();
            return r;
        }
    }
    return {};
}

void Simulator::Stop()
{
    AtEachTurn(nullptr);
    if (stopFd_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = write(stopFd_, &one, sizeof one);
    }
    for (auto* d : {&controller_, &motor_}) {
        if (*d)
            (*d)->Shutdown();
        d->reset();
    }
    controllerModel_ = nullptr;
    motorModel_ = nullptr;
    if (stopFd_ >= 0)
        close(stopFd_);
    stopFd_ = -1;
    if (frameLog_)
        std::fclose(frameLog_);
    frameLog_ = nullptr;
}

SimDevice* Simulator::Device(DeviceKind kind) const
{
    return kind == DeviceKind::Controller ? controller_.get() : motor_.get();
}

std::string Simulator::DevicePath(DeviceKind kind) const
{
    const SimDevice* d = Device(kind);
    return d ? d->DevicePath() : std::string();
}

SimDeviceStats Simulator::Stats(DeviceKind kind) const
{
    const SimDevice* d = Device(kind);
    return d ? d->Stats() : SimDeviceStats{};
}

void Simulator::Unplug(DeviceKind kind, milliseconds duration)
{
    if (SimDevice* d = Device(kind))
        d->Unplug(duration);
}

void Simulator::PlugIn(DeviceKind kind)
{
    if (SimDevice* d = Device(kind))
        d->PlugIn();
}

void Simulator::FallSilent(DeviceKind kind, milliseconds duration)
{
    if (SimDevice* d = Device(kind))
        d->FallSilent(duration);
}

void Simulator::EndSilence(DeviceKind kind)
{
    if (SimDevice* d = Device(kind))
        d->EndSilence();
}

void Simulator::AtEachTurn(std::function<bool(Simulator&)> step)
{
    std::lock_guard<std::mutex> lock(turnLock_);
    turnStep_ = std::move(step);
}

void Simulator::Changed()
{
    {
        std::lock_guard<std::mutex> lock(turnLock_);
        if (turnStep_ && turnStep_(*this))
            turnStep_ = nullptr;
    }
    {
        std::lock_guard<std::mutex> lock(changeLock_);
        ++changes_;
    }
    changed_.notify_all();
}

bool Simulator::WaitUntil(const std::function<bool()>& condition, milliseconds patience) const
{
    const auto deadline = Clock::now() + patience;
    std::unique_lock<std::mutex> lock(changeLock_);
    for (;;) {
        const std::uint64_t seen = changes_;
        // Without the lock: the condition takes the devices' locks, and a
        // serving thread may be waiting for this one meanwhile.
        lock.unlock();
        if (condition())
            return true;
        lock.lock();
        if (!changed_.wait_until(lock, deadline, [&] { return changes_ != seen; }))
            return false;
    }
}

void Simulator::RefuseFlashWrites(DeviceKind kind, int count)
{
    if (SimDevice* d = Device(kind))
        d->RefuseFlashWrites(count);
}

void Simulator::SetBootFaults(DeviceKind kind, const BootFaults& faults)
{
    if (SimDevice* d = Device(kind))
        d->SetBootFaults(faults);
}

std::vector<std::uint8_t> Simulator::Flash(DeviceKind kind) const
{
    const SimDevice* d = Device(kind);
    return d ? d->Flash() : std::vector<std::uint8_t>{};
}

BootStats Simulator::BootLoaderStats(DeviceKind kind) const
{
    const SimDevice* d = Device(kind);
    return d ? d->BootLoaderStats() : BootStats{};
}

void Simulator::ResetIntoBootLoader(DeviceKind kind)
{
    if (SimDevice* d = Device(kind))
        d->ResetIntoBootLoader();
}

void Simulator::Reset(DeviceKind kind)
{
    if (SimDevice* d = Device(kind))
        d->Reset();
}

bool Simulator::InBootLoader(DeviceKind kind) const
{
    const SimDevice* d = Device(kind);
    return d && d->InBootLoader();
}

std::uint8_t Simulator::FirmwareVersion(DeviceKind kind) const
{
    if (kind == DeviceKind::Controller)
        return controller_
                   ? controller_->WithModel([this](IDeviceModel&) { return controllerModel_->Firmware(); })
                   : 0;
    return motor_ ? motor_->WithModel([this](IDeviceModel&) { return motorModel_->Firmware(); }) : 0;
}

ControllerParams Simulator::ControllerWorkingParams() const
{
    if (!controller_)
        return {};
    return controller_->WithModel([this](IDeviceModel&) { return controllerModel_->Params(); });
}

ControllerParams Simulator::ControllerFlashParams() const
{
    if (!controller_)
        return {};
    return controller_->WithModel([this](IDeviceModel&) { return controllerModel_->Flash(); });
}

bool Simulator::ControllerMotorsOn() const
{
    if (!controller_)
        return false;
    return controller_->WithModel([this](IDeviceModel&) { return controllerModel_->MotorsOn(); });
}

MotorParams Simulator::MotorWorkingParams() const
{
    if (!motor_)
        return {};
    return motor_->WithModel([this](IDeviceModel&) { return motorModel_->Params(); });
}

MotorParams Simulator::MotorFlashParams() const
{
    if (!motor_)
        return {};
    return motor_->WithModel([this](IDeviceModel&) { return motorModel_->Flash(); });
}

} // namespace qav::sim
