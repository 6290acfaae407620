#include "ControllerModel.h"

#include "files/ConfigFile.h"
#include "platform/Atol.h"
#include "platform/IniFile.h"
#include "platform/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <numbers>
#include <sys/stat.h>

namespace qav::sim {
namespace {

using P = ControllerParams;

// Values a configuration file leaves out, kept in a section of their own.
struct ExtraKey
{
    const char* key;
    std::int64_t (*get)(const P&);
    void (*set)(P&, std::int64_t);
};

template <auto Member> constexpr ExtraKey Extra(const char* key)
{
    return ExtraKey{
        key, [](const P& p) -> std::int64_t { return p.*Member; },
        [](P& p, std::int64_t v) { p.*Member = static_cast<std::remove_cvref_t<decltype(p.*Member)>>(v); }};
}

constexpr ExtraKey kExtraKeys[] = {
    Extra<&P::YAW_TOTAL>("YAW_TOTAL"),
    Extra<&P::YAW_INT>("YAW_INT"),
    Extra<&P::YAW_VEL>("YAW_VEL"),
    Extra<&P::YAW_ACC>("YAW_ACC"),
    Extra<&P::YAW_RC_ACC>("YAW_RC_ACC"),
    Extra<&P::YAW_SERVO_REV>("YAW_SERVO_REV"),
    Extra<&P::YAW_SERVO_CENTER>("YAW_SERVO_CENTER"),
    Extra<&P::ROLL_CTRL_MODE>("ROLL_CTRL_MODE"),
    Extra<&P::PITCH_CTRL_MODE>("PITCH_CTRL_MODE"),
    Extra<&P::YAW_CTRL_MODE>("YAW_CTRL_MODE"),
    Extra<&P::ROLL_SERVO_TYPE>("ROLL_SERVO_TYPE"),
    Extra<&P::PITCH_SERVO_TYPE>("PITCH_SERVO_TYPE"),
    Extra<&P::YAW_SERVO_TYPE>("YAW_SERVO_TYPE"),
};

constexpr double kPi = std::numbers::pi;
constexpr double kStepSeconds = 0.001; // integration step of the attitude
constexpr double kMaxCatchUp = 0.25;   // seconds integrated at most per answer
constexpr double kHangingTilt = -4.0;  // where a limp camera settles, degrees
constexpr double kImbalance = 3.0;     // degrees of sag the integral gain removes
constexpr double kMaxStickRate = 60.0; // degrees per second at full stick, full sensitivity
constexpr double kGravity = 100.0;     // 1 g in the acceleration unit (hundredths)

std::int16_t Tenths(double degrees)
{
    return static_cast<std::int16_t>(std::clamp(std::lround(degrees * 10.0), -32768L, 32767L));
}

double Wrap180(double deg)
{
    deg = std::fmod(deg + 180.0, 360.0);
    if (deg < 0)
        deg += 360.0;
    return deg - 180.0;
}

} // namespace

ControllerParams DefaultControllerParams()
{
    ControllerParams p;
    p.ROLL_TOTAL = 120;
    p.ROLL_VEL = 80;
    p.ROLL_INT = 20;
    p.ROLL_ACC = 50;
    p.PITCH_TOTAL = 150;
    p.PITCH_VEL = 90;
    p.PITCH_INT = 25;
    p.PITCH_ACC = 50;
    p.YAW_TOTAL = 100;
    p.YAW_INT = 10;
    p.YAW_VEL = 60;
    p.YAW_ACC = 40;
    p.ROLL_SERVO_REV = 1;
    p.PITCH_SERVO_REV = 1;
    p.YAW_SERVO_REV = 1;
    // Even limits, so that they travel without losing a degree.
    p.ROLL_MAX = 44;
    p.ROLL_MIN = -44;
    p.PITCH_MAX = 90;
    p.PITCH_MIN = -134;
    p.RECEIVER_TYPE = 1;
    p.ROLL_CTRL_MODE = p.PITCH_CTRL_MODE = p.YAW_CTRL_MODE = 1;
    p.INSTALL_MODE = 2;
    p.ROLL_SERVO_TYPE = p.PITCH_SERVO_TYPE = p.YAW_SERVO_TYPE = 1;
    p.ROLL_RC_ACC = 50;
    p.PITCH_RC_ACC = 50;
    p.YAW_RC_ACC = 50;
    p.DEFAULT_MODE = 1;
    return p;
}

Result LoadControllerFlash(const std::string& path, ControllerParams& params)
{
    struct stat st
    {
    };
    if (stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT)
            return {}; // never flashed: factory settings
        return Result::Failed(errno, std::strerror(errno));
    }
    IniDocument doc;
    if (!S_ISREG(st.st_mode))
        return Result::Failed(kNotRegularFile, "not a regular file");
    if (!doc.Load(path))
        return Result::Failed(errno, std::strerror(errno));
    if (const Result loaded = LoadConfig(path, params); !loaded)
        return loaded;
    std::string value;
    for (const ExtraKey& k : kExtraKeys)
        if (doc.Find(kFlashExtraSection, k.key, value))
            k.set(params, ReadAtol(value));
    return {};
}

Result SaveControllerFlash(const std::string& path, const ControllerParams& params)
{
    std::vector<IniEntry> entries = ConfigEntries(params);
    for (const ExtraKey& k : kExtraKeys)
        entries.push_back(IniEntry{kFlashExtraSection, k.key, std::to_string(k.get(params))});
    return WritePrivateProfileStrings(entries, path);
}

ControllerModel::ControllerModel(ControllerModelConfig config, Clock::time_point start)
    : config_(std::move(config)), params_(DefaultControllerParams()), flash_(params_),
      refuseFlash_(config_.refuseFlashWrites), start_(start), last_(start), rng_(config_.seed)
{
    axes_[1].angle = kHangingTilt;
    if (const auto& sticks = config_.sticks) {
        constexpr auto rc = ChannelsOf<ChannelGroup::Rc>();
        for (std::size_t i = 0; i < std::min(rc.size(), sticks->size()); ++i)
            config_.held[rc[i]] = (*sticks)[i];
    }
}

Result ControllerModel::LoadFlash()
{
    ControllerParams loaded = DefaultControllerParams();
    if (!config_.flashPath.empty())
        if (Result r = LoadControllerFlash(config_.flashPath, loaded); !r)
            return r;
    flash_ = params_ = loaded;
    return {};
}

void ControllerModel::PowerCycle(Clock::time_point now)
{
    params_ = flash_;
    motorsOn_ = false;
    lastCode_ = kCmdNone;
    result_ = 0;
    calibrating_ = false;
    last_ = now;
    for (Axis& a : axes_)
        a = Axis{};
    axes_[1].angle = kHangingTilt;
}

double ControllerModel::Noise(double amplitude)
{
    return std::uniform_real_distribution<double>(-amplitude, amplitude)(rng_);
}

void ControllerModel::TakeCommand(std::uint8_t code, Clock::time_point now)
{
    // A command runs once, when its code first shows up; frames that keep
    // carrying it get the same result again, so a lost answer costs nothing.
    if (code == lastCode_) {
        if (calibrating_ && now >= calibrationDone_) {
            calibrating_ = false;
            if (code == kCmdCalibrate)
                result_ = kCmdCalibrate;
        }
        return;
    }
    lastCode_ = code;
    result_ = 0;
    switch (code) {
    case kCmdMotorOn:
        result_ = MotorOn();
        break;
    case kCmdMotorOff:
        motorsOn_ = false;
        result_ = kCmdMotorOff;
        break;
    case kCmdPidOff:
        // This controller has no PID-off state.
        result_ = kCmdPidOff | kResultFailed;
        break;
    case kCmdWriteFlash:
        result_ = WriteFlash();
        break;
    case kCmdCalibrate:
        calibrating_ = true;
        calibrationDone_ = now + config_.calibrationTime;
        if (config_.calibrationTime.count() <= 0) {
            calibrating_ = false;
            result_ = kCmdCalibrate;
        }
        break;
    default:
        break; // unknown codes and 0 have no result
    }
}

std::uint8_t ControllerModel::MotorOn()
{
    const P& p = params_;
    const bool zeroGain = p.ROLL_TOTAL == 0 || p.ROLL_VEL == 0 || p.ROLL_INT == 0 || p.ROLL_ACC == 0 ||
                          p.PITCH_TOTAL == 0 || p.PITCH_VEL == 0 || p.PITCH_INT == 0 || p.PITCH_ACC == 0;
    const bool crossed = p.ROLL_MAX < p.ROLL_MIN || p.PITCH_MAX < p.PITCH_MIN;
    // A refusal is reported as "done" with the motors still off; the PC tells
    // the two apart by the motor state of the same answer.
    if (zeroGain || crossed)
        return kCmdMotorOn;
    if (!motorsOn_) {
        motorsOn_ = true;
        axes_[0].target = std::clamp(p.INIT_ROLL / 10.0, double(p.ROLL_MIN), double(p.ROLL_MAX));
        axes_[1].target = std::clamp(p.INIT_PITCH / 10.0, double(p.PITCH_MIN), double(p.PITCH_MAX));
        for (Axis& a : axes_)
            a.integral = 0;
    }
    return kCmdMotorOn;
}

std::uint8_t ControllerModel::WriteFlash()
{
    if (refuseFlash_ > 0) {
        --refuseFlash_;
        return kCmdWriteFlash | kResultFailed;
    }
    if (!config_.flashPath.empty() && !SaveControllerFlash(config_.flashPath, params_))
        return kCmdWriteFlash | kResultFailed;
    flash_ = params_;
    return kCmdWriteFlash;
}

void ControllerModel::MoveSticks(double t)
{
    // Slow, smooth stick movements with rests in between, like a camera
    // operator framing shots.
    auto stick = [&](double amp, double w, double gateW, double phase) {
        const double gate = std::max(0.0, std::sin(gateW * t + phase));
        const double v = amp * std::sin(w * t + phase) * std::min(1.0, 3.0 * gate) + Noise(1.0);
        return static_cast<std::int32_t>(std::clamp(std::lround(v), -100L, 100L));
    };
    live_.counts[kChannelRcRoll] = stick(60, 0.9, 0.21, 0.0);
    live_.counts[kChannelRcTilt] = stick(80, 0.6, 0.17, 2.0);
    live_.counts[kChannelRcPan] = stick(40, 0.4, 0.13, 4.0);
    // The mode switch steps through its three positions; the shot button is
    // pressed for half a second every ten.
    static constexpr std::int32_t kModes[] = {-100, 0, 100};
    live_.counts[kChannelRcMode] = kModes[static_cast<int>(t / 8.0) % 3];
    live_.counts[kChannelRcShot] = std::fmod(t, 10.0) < 0.5 ? 100 : -100;
}

void ControllerModel::HoldChannels()
{
    for (std::size_t i = 0; i < kTelemetryChannelCount; ++i)
        if (const auto& held = config_.held[i])
            live_.counts[i] = *held;
}

void ControllerModel::Step(double dt, double t)
{
    const P& p = params_;
    const double stick[2] = {live_.Count(kChannelRcRoll) / 100.0, live_.Count(kChannelRcTilt) / 100.0};
    const double rcAcc[2] = {p.ROLL_RC_ACC / 100.0, p.PITCH_RC_ACC / 100.0};
    const double lo[2] = {double(p.ROLL_MIN), double(p.PITCH_MIN)};
    const double hi[2] = {double(p.ROLL_MAX), double(p.PITCH_MAX)};
    const double init[2] = {p.INIT_ROLL / 10.0, p.INIT_PITCH / 10.0};
    const double total[2] = {double(p.ROLL_TOTAL), double(p.PITCH_TOTAL)};
    const double vel[2] = {double(p.ROLL_VEL), double(p.PITCH_VEL)};
    const double integ[2] = {double(p.ROLL_INT), double(p.PITCH_INT)};
    const double rev[2] = {p.ROLL_SERVO_REV == -1 ? -1.0 : 1.0, p.PITCH_SERVO_REV == -1 ? -1.0 : 1.0};

    for (int i = 0; i < 2; ++i) {
        Axis& a = axes_[i];
        double accel;
        if (motorsOn_) {
            // Rate mode moves the target with the stick; position mode puts
            // it at a point between the limits.
            if (p.DEFAULT_MODE == 2)
                a.target = init[i] + rev[i] * stick[i] * rcAcc[i] * (stick[i] >= 0 ? hi[i] : -lo[i]);
            else
                a.target += rev[i] * stick[i] * rcAcc[i] * kMaxStickRate * dt;
            if (lo[i] <= hi[i])
                a.target = std::clamp(a.target, lo[i], hi[i]);
            // A second-order loop: total gain sets the stiffness, velocity
            // gain the damping, integral gain removes the sag.
            const double w = 1.5 + total[i] / 20.0;
            const double zeta = 0.1 + vel[i] / 200.0;
            const double error = a.target - a.angle;
            a.integral = std::clamp(a.integral + error * dt, -20.0, 20.0);
            const double ki = integ[i] / 100.0;
            accel =
                w * w * (error - kImbalance + std::clamp(ki * a.integral, -2 * kImbalance, 2 * kImbalance)) -
                2 * zeta * w * a.rate;
        } else {
            // Limp: the camera swings slowly around where it hangs.
            const double rest = i == 0 ? 0.0 : kHangingTilt;
            accel = 4.0 * (rest - a.angle) - 0.3 * a.rate + 20.0 * std::sin(0.7 * t + i);
        }
        a.rate += accel * dt;
        a.angle += a.rate * dt;
        if (a.angle > 180 || a.angle < -180) {
            a.angle = std::clamp(a.angle, -180.0, 180.0);
            a.rate = 0;
        }
    }
    if (motorsOn_)
        pan_ = Wrap180(pan_ + live_.Count(kChannelRcPan) / 100.0 * p.YAW_RC_ACC / 100.0 * kMaxStickRate * dt);
}

void ControllerModel::Advance(Clock::time_point now)
{
    double elapsed = std::chrono::duration<double>(now - last_).count();
    if (elapsed <= 0)
        return;
    // After a long pause only the recent past matters.
    elapsed = std::min(elapsed, kMaxCatchUp);
    last_ = now;
    const double t = std::chrono::duration<double>(now - start_).count();
    MoveSticks(t);
    HoldChannels();
    for (double done = 0; done < elapsed; done += kStepSeconds)
        Step(std::min(kStepSeconds, elapsed - done), t - elapsed + done);
}

void ControllerModel::Measure()
{
    // Gravity seen by a sensor turned by roll and tilt; a module mounted
    // face down sees it upside down.
    const auto& still = config_.attitude;
    const double roll = (still ? (*still)[0] : axes_[0].angle) * kPi / 180.0;
    const double tilt = (still ? (*still)[1] : axes_[1].angle) * kPi / 180.0;
    const double flip = params_.INSTALL_MODE == 3 ? -1.0 : 1.0;
    auto noise = [&] { return still ? 0.0 : Noise(1.5); };
    const double ax = -std::sin(tilt) * kGravity + noise();
    const double ay = flip * std::sin(roll) * std::cos(tilt) * kGravity + noise();
    const double az = flip * std::cos(roll) * std::cos(tilt) * kGravity + noise();
    live_.counts[kChannelAx] = static_cast<std::int16_t>(std::lround(ax));
    live_.counts[kChannelAy] = static_cast<std::int16_t>(std::lround(ay));
    live_.counts[kChannelAz] = static_cast<std::int16_t>(std::lround(az));
}

void ControllerModel::Answer(const Frame& request, Clock::time_point now, Frame& out)
{
    Advance(now);
    TakeCommand(request[ctl::kCommand], now);

    const std::uint8_t type = request[ctl::kType];
    if (IsUploadType(type)) {
        // The fixed servo-type and control-mode bytes of an upload are not
        // taken: this controller keeps its own.
        ApplyUploadPayload(request, params_);
    }

    out.fill(0);
    out[0] = kControllerHeader0;
    out[1] = kControllerHeader1;
    out[ctl::kCounter] = request[ctl::kCounter];
    out[ctl::kMotorState] = motorsOn_ ? kMotorsOn : kMotorsOff;
    out[ctl::kCommand] = result_;
    // The accelerometer's noise shrinks as the accelerate gain grows.
    const double jitter[2] = {0.15 / (1.0 + params_.ROLL_ACC / 100.0),
                              0.15 / (1.0 + params_.PITCH_ACC / 100.0)};
    if (const auto& still = config_.attitude) {
        live_.counts[kChannelRoll] = Tenths((*still)[0]);
        live_.counts[kChannelTilt] = Tenths((*still)[1]);
        live_.counts[kChannelPan] = Tenths((*still)[2]);
    } else {
        live_.counts[kChannelRoll] = Tenths(axes_[0].angle + Noise(jitter[0]));
        live_.counts[kChannelTilt] = Tenths(axes_[1].angle + Noise(jitter[1]));
        live_.counts[kChannelPan] = Tenths(pan_ + Noise(0.1));
    }
    const bool telemetry = !IsReadBackType(type) && !IsUploadType(type);
    if (telemetry)
        Measure();
    HoldChannels();
    for (std::size_t i = 0; i < kTelemetryChannelCount; ++i)
        if (kTelemetryChannels[i].InEveryAnswer())
            PutChannel(out, i, live_.Count(i));
    out[ctl::kFirmware] = config_.firmware;
    out[ctl::kType] = type;
    if (IsReadBackType(type))
        EncodeEchoPayload(type, params_, out);
    else if (telemetry)
        EncodeTelemetryPayload(live_, out);
    SealFrame(out);
}

} // namespace qav::sim
