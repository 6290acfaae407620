#pragma once
// The motor configuration dialog's controls: ids, kinds, captions, places,
// and the controls the template keeps but never shows (OK and Cancel, two
// spare boxes and labels, a spare button, and the two motor direction check
// boxes that hold DIR_MOTOR1 and DIR_MOTOR2).
#include "motor/MotorProtocol.h"
#include "ui/FormHost.h"

#include <array>
#include <vector>

namespace qav {

namespace mdc {
inline constexpr int Ok = 1; // hidden; the dialog's default action does nothing
inline constexpr int Cancel = 2;
inline constexpr int WriteSettingsToFlash = 1020;
inline constexpr int ComList = 1169;
inline constexpr int LoadConfig = 1313;
inline constexpr int SaveConfig = 1314;
inline constexpr int SpareBox1 = 1338;
inline constexpr int PolMotor1 = 1339; // "Rolling motor" pole count
inline constexpr int PowMotor1 = 1340;
inline constexpr int SpareBox2 = 1341;
inline constexpr int PolMotor2 = 1342; // "Tilting motor" pole count
inline constexpr int PowMotor2 = 1343;
inline constexpr int OpenFirmware = 1344;
inline constexpr int StartUpgrade = 1345;
inline constexpr int CancelUpgrade = 1346;
inline constexpr int OpenComPort = 1349;
inline constexpr int Progress = 1350;
inline constexpr int Status = 1353;
inline constexpr int FirmwareVersion = 1354;
inline constexpr int SpareButton = 1355;
inline constexpr int Motor1Reverse = 1356; // hidden
inline constexpr int Motor2Reverse = 1357; // hidden
inline constexpr int Voltage = 1358;
inline constexpr int Current = 1359;

inline constexpr int RollingGroup = 1308;
inline constexpr int TiltingGroup = 1315;
inline constexpr int UpgradeGroup = 1352;
inline constexpr int MonitorGroup = 1360;
} // namespace mdc

inline constexpr int kMotorDialogWidth = 560;
inline constexpr int kMotorDialogHeight = 456;

// The translation context the table's captions are marked with.
inline constexpr char kMotorDialogContext[] = "MotorDialogTable";
const std::vector<ControlRow>& MotorDialogControls();

// The four parameter boxes in exchange order, with the parameter each holds.
struct MotorParamBox
{
    int box;
    std::uint8_t MotorParams::*param;
};
inline constexpr std::array<MotorParamBox, 4> kMotorParamBoxes = {{
    {mdc::PolMotor1, &MotorParams::POL_MOTOR1},
    {mdc::PowMotor1, &MotorParams::POW_MOTOR1},
    {mdc::PolMotor2, &MotorParams::POL_MOTOR2},
    {mdc::PowMotor2, &MotorParams::POW_MOTOR2},
}};

} // namespace qav
