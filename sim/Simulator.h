#pragma once
// The simulated gimbal: a main controller and a motor board, each on a
// pseudo-terminal registered as COM<n> in the port alias folder
// ($QAV_NUVA_PORTS_DIR, else ~/.config/qav-nuva/ports). Both the
// qav-nuva-sim program and in-process tests run it.
//
// Threads: one serving thread per device, started by Start and ended by Stop
// (or the destructor) within one poll wait. Every public function may be
// called from any thread except the ready callback's.
#include "ControllerModel.h"
#include "MotorBoardModel.h"
#include "SimDevice.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace qav::sim {

enum class DeviceKind { Controller, Motor };

struct SimulatorConfig
{
    int controllerCom = 0; // 0: no controller
    int motorCom = 0;      // 0: no motor board
    // Controller flash (a controller configuration file); empty: in memory.
    std::string flashPath;
    // Motor board flash (a motor configuration file); empty: in memory.
    std::string motorFlashPath;
    std::uint8_t controllerFirmware = 23;
    std::uint8_t motorFirmware = 15;
    milliseconds calibrationTime{300};
    SimFaults faults;      // for both devices
    BootFaults bootFaults; // for both boot loaders
    // The chips the boot loaders play (rows of the chip table): the
    // controller's lists ERASE, the motor board's EXTENDED ERASE.
    std::uint16_t controllerChip = kSimChipId;
    std::uint16_t motorChip = 0x422;
    bool paceOutput = false;
    std::uint32_t seed = 1;
    std::string frameLog; // a file to log every valid frame heard; empty: none
    // A controller standing still, its sticks left alone (see ControllerModelConfig).
    std::optional<std::array<double, 3>> attitude;
    std::optional<std::array<std::int8_t, 5>> sticks;
    // Telemetry channels reported with a fixed count (see ControllerModelConfig).
    std::array<std::optional<std::int32_t>, kTelemetryChannelCount> held{};
};

class Simulator
{
public:
    explicit Simulator(SimulatorConfig config);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Called once per device when it comes up (at Start, and again after each
    // unplug) with its kind ("controller" or "motor"), COM number and path.
    // Set before Start.
    void SetReadyCallback(ReadyCallback callback) { ready_ = std::move(callback); }

    // Checks the configuration, loads the flash file, creates the terminals,
    // registers the aliases and starts serving. A failure's message is one
    // sentence; nothing is left behind then.
    Result Start();
    // Stops serving, closes the terminals and removes the aliases.
    void Stop();

    // Current device path; empty when the device is not there (not
    // configured, or unplugged).
    std::string DevicePath(DeviceKind kind) const;
    SimDeviceStats Stats(DeviceKind kind) const;

    // The device gone for `duration`, or until PlugIn.
    void Unplug(DeviceKind kind, milliseconds duration = kUntilEnded);
    void PlugIn(DeviceKind kind);
    // Deaf and mute for `duration`, or until EndSilence.
    void FallSilent(DeviceKind kind, milliseconds duration = kUntilEnded);
    void EndSilence(DeviceKind kind);
    void RefuseFlashWrites(DeviceKind kind, int count);
    void SetBootFaults(DeviceKind kind, const BootFaults& faults);

    // The board reset with its boot jumper set (see SimDevice).
    void ResetIntoBootLoader(DeviceKind kind);
    // The board reset without its boot jumper (see SimDevice).
    void Reset(DeviceKind kind);
    // The boot loader's flash (128 KiB on the controller, 64 KiB on the
    // motor board, at 0x08000000) and its counts.
    std::vector<std::uint8_t> Flash(DeviceKind kind) const;
    BootStats BootLoaderStats(DeviceKind kind) const;
    bool InBootLoader(DeviceKind kind) const;
    // The firmware version (tenths) the device reports.
    std::uint8_t FirmwareVersion(DeviceKind kind) const;

    // Waits until `condition` holds, checking it again whenever a device has
    // handled what it heard, written answers, gone or come back; false once
    // `patience` has run out. For tests, which wait for what the devices
    // do, not for time. `condition` may call the functions above.
    bool WaitUntil(const std::function<bool()>& condition, milliseconds patience) const;
    // Runs `step` on the serving thread after each turn of the devices until
    // it returns true (or the simulator stops): for tests that must act at
    // one point of an exchange, before the device says or hears more, however
    // late the test's own thread would wake. Replaces an earlier step.
    void AtEachTurn(std::function<bool(Simulator&)> step);

    // Snapshots of the devices' state, for tests and diagnostics.
    ControllerParams ControllerWorkingParams() const;
    ControllerParams ControllerFlashParams() const;
    bool ControllerMotorsOn() const;
    MotorParams MotorWorkingParams() const;
    MotorParams MotorFlashParams() const;

private:
    SimDevice* Device(DeviceKind kind) const;
    void Changed();

    SimulatorConfig config_;
    ReadyCallback ready_;
    int stopFd_ = -1;
    std::FILE* frameLog_ = nullptr;
    std::unique_ptr<SimDevice> controller_;
    std::unique_ptr<SimDevice> motor_;
    ControllerModel* controllerModel_ = nullptr; // owned by controller_
    MotorBoardModel* motorModel_ = nullptr;      // owned by motor_
    mutable std::mutex changeLock_;
    mutable std::condition_variable changed_;
    std::uint64_t changes_ = 0; // turns of the serving threads, under changeLock_
    std::mutex turnLock_;       // held while the step runs
    std::function<bool(Simulator&)> turnStep_;
};

} // namespace qav::sim
