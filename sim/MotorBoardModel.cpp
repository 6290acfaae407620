#include "MotorBoardModel.h"

#include "files/ConfigFile.h"
#include "platform/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <sys/stat.h>

namespace qav::sim {
namespace {

constexpr double kSupplyVolts = 11.7;
constexpr double kIdleAmps = 0.5;
constexpr double kFullPowerAmps = 2.0;
constexpr double kSupplyResistance = 0.05; // ohms: the supply sags a little under load

} // namespace

MotorParams DefaultMotorParams()
{
    MotorParams p;
    p.POL_MOTOR1 = 14;
    p.POW_MOTOR1 = 80;
    p.POL_MOTOR2 = 14;
    p.POW_MOTOR2 = 60;
    p.DIR_MOTOR1 = 0x01;
    p.DIR_MOTOR2 = 0x01;
    return p;
}

MotorBoardModel::MotorBoardModel(MotorBoardConfig config)
    : config_(config), params_(DefaultMotorParams()), flash_(params_), refuseFlash_(config.refuseFlashWrites),
      rng_(config.seed)
{
}

Result MotorBoardModel::LoadFlash()
{
    MotorParams loaded = DefaultMotorParams();
    if (!config_.flashPath.empty()) {
        struct stat st
        {
        };
        const bool present = stat(config_.flashPath.c_str(), &st) == 0;
        if (present && !S_ISREG(st.st_mode))
            return Result::Failed(kNotRegularFile, "not a regular file");
        if (const Result read = present ? LoadConfig(config_.flashPath, loaded) : Result{}; !read)
            return read;
    }
    flash_ = params_ = loaded;
    return {};
}

void MotorBoardModel::Answer(const Frame& request, std::chrono::steady_clock::time_point now, Frame& out)
{
    const MotorRequest req = ParseMotorRequest(request);
    MotorReply reply;
    reply.firmware = config_.firmware;
    reply.type = req.command;
    switch (req.command) {
    case kMotorCmdWrite:
        params_.POL_MOTOR1 = req.POL_MOTOR1;
        params_.POW_MOTOR1 = req.POW_MOTOR1;
        params_.POL_MOTOR2 = req.POL_MOTOR2;
        params_.POW_MOTOR2 = req.POW_MOTOR2;
        if (req.flashFlag == kMotorFlashStore) {
            if (refuseFlash_ > 0) {
                --refuseFlash_;
                reply.flashResult = kMotorFlashFailed;
            } else if (!config_.flashPath.empty() && !SaveConfig(config_.flashPath, params_)) {
                reply.flashResult = kMotorFlashFailed;
            } else {
                flash_ = params_;
                reply.flashResult = kMotorFlashDone;
            }
        }
        break;
    case kMotorCmdRead:
        reply.params = params_;
        break;
    case kMotorCmdMonitor: {
        // The current follows the power settings and wanders slowly.
        const double t = std::chrono::duration<double>(now.time_since_epoch()).count();
        const double load =
            (std::min<int>(params_.POW_MOTOR1, 100) + std::min<int>(params_.POW_MOTOR2, 100)) / 200.0;
        std::uniform_real_distribution<double> noise(-0.03, 0.03);
        double amps = kIdleAmps + (kFullPowerAmps - kIdleAmps) * load * (0.85 + 0.15 * std::sin(0.8 * t));
        amps = std::clamp(amps + noise(rng_), kIdleAmps, kFullPowerAmps);
        const double volts = kSupplyVolts + 0.1 - kSupplyResistance * amps + noise(rng_);
        reply.voltageRaw = MotorVoltsToRaw(volts);
        reply.currentRaw = MotorAmpsToRaw(amps);
        break;
    }
    default:
        break; // other requests get an empty reply of their own type
    }
    EncodeMotorReply(reply, out);
}

} // namespace qav::sim
