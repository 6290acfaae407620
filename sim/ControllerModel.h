#pragma once
// The simulated main controller: answers each frame from the PC with one
// frame, holds a parameter set, runs the one-shot commands and moves a
// plausible attitude. Pure logic: no descriptors, no threads; time comes in
// with every call, so tests can drive it with any clock.
//
// Not thread-safe: the device that serves it calls it from one thread.
#include "platform/Result.h"
#include "protocol/ControllerProtocol.h"
#include "protocol/TelemetryChannels.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <string>

namespace qav::sim {

using Clock = std::chrono::steady_clock;

struct ControllerModelConfig
{
    std::uint8_t firmware = 23; // tenths: version 2.3
    // Where a write to flash saves the parameter set (a controller
    // configuration file, plus a section of its own for the values such files
    // do not carry). Empty: flash lives in memory for the run only.
    std::string flashPath;
    std::chrono::milliseconds calibrationTime{300};
    int refuseFlashWrites = 0; // the next N writes to flash fail
    std::uint32_t seed = 1;
    // A gimbal standing still: roll, tilt and pan in degrees, reported
    // exactly in every answer, with the accelerations they give and no
    // sensor noise.
    std::optional<std::array<double, 3>> attitude;
    // Sticks left alone: roll, tilt, pan, mode and shot channels (-100..100)
    // reported as they are in every answer; they are the RC channels of the
    // telemetry table, in its order, and join `held`.
    std::optional<std::array<std::int8_t, 5>> sticks;
    // Channels reported with these counts whatever the model gives, by
    // telemetry channel. A held stick also steers the model.
    std::array<std::optional<std::int32_t>, kTelemetryChannelCount> held{};
};

// The section of the flash file that holds what configuration files leave
// out (pan gains, servo types, control modes, ...).
inline constexpr const char* kFlashExtraSection = "SIMULATOR";

// Factory settings: what a controller without flash contents starts with.
ControllerParams DefaultControllerParams();

// Flash file I/O. Load starts from `params` as given and overwrites what
// the file holds; a missing file leaves `params` alone and is no error.
Result LoadControllerFlash(const std::string& path, ControllerParams& params);
Result SaveControllerFlash(const std::string& path, const ControllerParams& params);

class ControllerModel
{
public:
    ControllerModel(ControllerModelConfig config, Clock::time_point start);

    // Reads the flash file into the working set (power-on state). Fails
    // with the reason when the file exists but cannot be used.
    Result LoadFlash();

    // Fills `out` with the answer to `request` (a frame whose CRC matched)
    // received at `now`.
    void Answer(const Frame& request, Clock::time_point now, Frame& out);

    // Back to the power-on state: flash contents, motors off, no command.
    void PowerCycle(Clock::time_point now);

    void RefuseFlashWrites(int count) { refuseFlash_ = count; }
    // The firmware now running reports this version (tenths).
    void SetFirmware(std::uint8_t tenths) { config_.firmware = tenths; }
    std::uint8_t Firmware() const { return config_.firmware; }

    const ControllerParams& Params() const { return params_; }
    const ControllerParams& Flash() const { return flash_; }
    bool MotorsOn() const { return motorsOn_; }
    // Degrees.
    double Roll() const { return axes_[0].angle; }
    double Tilt() const { return axes_[1].angle; }

private:
    struct Axis
    {
        double angle = 0;    // degrees
        double rate = 0;     // degrees per second
        double target = 0;   // degrees
        double integral = 0; // degree-seconds of error
    };
    void TakeCommand(std::uint8_t code, Clock::time_point now);
    std::uint8_t MotorOn();
    std::uint8_t WriteFlash();
    void Advance(Clock::time_point now);
    void Step(double dt, double t);
    void MoveSticks(double t);
    void Measure();
    void HoldChannels();
    double Noise(double amplitude);

    ControllerModelConfig config_;
    ControllerParams params_;
    ControllerParams flash_;
    bool motorsOn_ = false;
    std::uint8_t lastCode_ = kCmdNone;
    std::uint8_t result_ = 0;
    bool calibrating_ = false;
    Clock::time_point calibrationDone_{};
    int refuseFlash_ = 0;

    Clock::time_point start_;
    Clock::time_point last_;
    Axis axes_[2]; // roll, tilt
    double pan_ = 0;
    // Every channel as the model makes it (0 for one it has no model for),
    // then held; the RC channels are the sticks the model steers with.
    ControllerTelemetry live_;
    std::mt19937 rng_;
};

} // namespace qav::sim
