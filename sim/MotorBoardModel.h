#pragma once
// The simulated motor driver board: answers each request with one reply,
// keeps four parameters and a flash copy of them, and reports a noisy supply
// voltage and current. Pure logic, time passed in; called from one thread.
#include "motor/MotorProtocol.h"
#include "platform/Result.h"

#include <chrono>
#include <cstdint>
#include <random>
#include <string>

namespace qav::sim {

struct MotorBoardConfig
{
    std::uint8_t firmware = 15; // tenths: version 1.5
    int refuseFlashWrites = 0;  // the next N writes to flash fail
    // Where a write to flash saves the four parameters (a motor configuration
    // file). Empty: flash lives in memory for the run only.
    std::string flashPath;
    std::uint32_t seed = 1;
};

// Factory settings of the board.
MotorParams DefaultMotorParams();

class MotorBoardModel
{
public:
    explicit MotorBoardModel(MotorBoardConfig config);

    // Reads the flash file into the working set (power-on state); a missing
    // file leaves the factory settings. Fails with the reason when the file
    // is there but cannot be read.
    Result LoadFlash();

    // Fills `out` with the reply to `request` (a frame whose CRC matched).
    void Answer(const Frame& request, std::chrono::steady_clock::time_point now, Frame& out);
    // Back to the flash contents.
    void PowerCycle() { params_ = flash_; }
    void RefuseFlashWrites(int count) { refuseFlash_ = count; }
    // The firmware now running reports this version (tenths).
    void SetFirmware(std::uint8_t tenths) { config_.firmware = tenths; }
    std::uint8_t Firmware() const { return config_.firmware; }

    const MotorParams& Params() const { return params_; }
    const MotorParams& Flash() const { return flash_; }

private:
    MotorBoardConfig config_;
    MotorParams params_;
    MotorParams flash_;
    int refuseFlash_ = 0;
    std::mt19937 rng_;
};

} // namespace qav::sim
