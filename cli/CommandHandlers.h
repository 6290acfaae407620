#pragma once
// The function that runs each command of the table (CommandTable.cpp), by
// the file that holds it. Each returns an exit code of Cli.h and says what
// failed in one sentence on the call's error stream.
#include "CommandTable.h"

namespace qav::cli {

int RunHelp(const CommandCall& call);         // CliHelp.cpp
int RunPorts(const CommandCall& call);        // PortsCommand.cpp
int RunRead(const CommandCall& call);         // ReadCommand.cpp
int RunMonitor(const CommandCall& call);      // MonitorCommand.cpp
int RunWrite(const CommandCall& call);        // WriteCommand.cpp
int RunDiff(const CommandCall& call);         // DiffCommand.cpp
int RunParams(const CommandCall& call);       // ParamsCommand.cpp
int RunMotorOn(const CommandCall& call);      // ControllerCommands.cpp
int RunMotorOff(const CommandCall& call);     // ControllerCommands.cpp
int RunCalibrate(const CommandCall& call);    // ControllerCommands.cpp
int RunUpgrade(const CommandCall& call);      // UpgradeCommand.cpp
int RunFirmwarePack(const CommandCall& call); // FirmwareCommands.cpp
int RunFirmwareInfo(const CommandCall& call); // FirmwareCommands.cpp

} // namespace qav::cli
