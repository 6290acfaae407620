#pragma once
// Control ids of the main screen. Other windows and the tests find the
// screen's widgets by these numbers (each widget's objectName).
#include "protocol/TelemetryChannels.h"

namespace qav::idc {

// Buttons and commands.
inline constexpr int OpenComPort = 1000;
inline constexpr int WriteSettingsToFlash = 1001;
inline constexpr int OpenFirmware = 1023;
inline constexpr int StartUpgrade = 1024;
inline constexpr int CancelUpgrade = 1274;
inline constexpr int LoadConfig = 1313;
inline constexpr int SaveConfig = 1314;
inline constexpr int MotorConfiguration = 1337;
inline constexpr int CalibrateSensors = 1370;
inline constexpr int MotorOff = 1069;
inline constexpr int MotorOn = 1070;
inline constexpr int PidOff = 1266; // hidden
inline constexpr int RollMotorReverse = 1215;
inline constexpr int TiltMotorReverse = 1218;
inline constexpr int PanServoReverse = 1219; // hidden

// Lists.
inline constexpr int ComList = 1169;
inline constexpr int ReceiverType = 1257;
inline constexpr int SensorModuleMount = 1328;
inline constexpr int DefaultMode = 1365;
inline constexpr int RollServoType = 1280; // hidden, 1280..1285
inline constexpr int RollControlMode = 1281;
inline constexpr int TiltServoType = 1282;
inline constexpr int TiltControlMode = 1283;
inline constexpr int PanServoType = 1284;
inline constexpr int PanControlMode = 1285;

// Gain sliders.
inline constexpr int RollTotalSlider = 1003;
inline constexpr int RollVelSlider = 1011;
inline constexpr int RollIntSlider = 1012;
inline constexpr int RollAccSlider = 1295;
inline constexpr int TiltTotalSlider = 1010;
inline constexpr int TiltVelSlider = 1013;
inline constexpr int TiltIntSlider = 1002;
inline constexpr int TiltAccSlider = 1297;
inline constexpr int PanTotalSlider = 1025; // hidden pan sliders
inline constexpr int PanIntSlider = 1209;
inline constexpr int PanVelSlider = 1230;
inline constexpr int PanAccSlider = 1300;

// Value boxes.
inline constexpr int RollTotal = 1017;
inline constexpr int RollVel = 1004;
inline constexpr int RollInt = 1128;
inline constexpr int RollAcc = 1296;
inline constexpr int TiltTotal = 1016;
inline constexpr int TiltVel = 1015;
inline constexpr int TiltInt = 1014;
inline constexpr int TiltAcc = 1298;
inline constexpr int PanTotal = 1210; // hidden pan boxes
inline constexpr int PanInt = 1005;
inline constexpr int PanVel = 1231;
inline constexpr int PanAcc = 1299;
inline constexpr int RollServoCenter = 1220; // hidden servo centres
inline constexpr int TiltServoCenter = 1223;
inline constexpr int PanServoCenter = 1225;
inline constexpr int RollServoCenterSpin = 1222;
inline constexpr int TiltServoCenterSpin = 1224;
inline constexpr int PanServoCenterSpin = 1226;
inline constexpr int RollMax = 1213;
inline constexpr int RollMin = 1214;
inline constexpr int TiltMax = 1216;
inline constexpr int TiltMin = 1217;
inline constexpr int RollRcSensitivity = 1289;
inline constexpr int TiltRcSensitivity = 1290;
inline constexpr int PanRcSensitivity = 1291; // hidden
inline constexpr int InitTiltAngle = 1361;
inline constexpr int InitRollAngle = 1363;

// Monitors.
inline constexpr int AttitudeArea = 1254;
// The live boxes of the telemetry channels are the channels' own.
inline constexpr int AttitudeRoll = kTelemetryChannels[kChannelRoll].box;
inline constexpr int AttitudeTilt = kTelemetryChannels[kChannelTilt].box;
inline constexpr int AttitudePan = kTelemetryChannels[kChannelPan].box;
inline constexpr int RcRoll = kTelemetryChannels[kChannelRcRoll].box;
inline constexpr int RcTilt = kTelemetryChannels[kChannelRcTilt].box;
inline constexpr int RcPan = kTelemetryChannels[kChannelRcPan].box; // hidden
inline constexpr int RcMode = kTelemetryChannels[kChannelRcMode].box;
inline constexpr int RcShot = kTelemetryChannels[kChannelRcShot].box;
inline constexpr int RcModeBar = 1318;
inline constexpr int AccelX = kTelemetryChannels[kChannelAx].box;
inline constexpr int AccelY = kTelemetryChannels[kChannelAy].box;
inline constexpr int AccelZ = kTelemetryChannels[kChannelAz].box;
inline constexpr int FirmwareVersion = 1207;

} // namespace qav::idc
