#include "CommandTable.h"

#include "Cli.h"
#include "CliHelp.h"
#include "CliReport.h"
#include "CommandHandlers.h"

#include <ostream>

namespace qav::cli {
namespace {

// Options several commands take.
constexpr CommandOption kBoard{"--board", "B", "the board: controller (the default) or motor",
                               Completes::Board};
constexpr CommandOption kPort{"--port", "PORT", "the port the board is on", Completes::Port, true};
constexpr CommandOption kControllerPort{"--port", "PORT", "the port the controller is on", Completes::Port,
                                        true};

constexpr std::string_view kPortsForms[] = {"ports [--json]"};
constexpr CommandOption kPortsOptions[] = {
    {"--json",
     {},
     "one JSON object a line, with the keys name, device, vendor_id, product_id, manufacturer, product, "
     "serial and note (null when unknown)"},
};

constexpr std::string_view kReadForms[] = {"read [--board B] --port PORT [-o FILE]"};
constexpr CommandOption kReadOptions[] = {
    kBoard,
    kPort,
    {"-o", "FILE", "write the configuration file FILE instead of printing it", Completes::File},
};

constexpr std::string_view kMonitorForms[] = {"monitor [--board B] --port PORT [--count N] [--json | --csv]"};
constexpr CommandOption kMonitorOptions[] = {
    kBoard,
    kPort,
    {"--count", "N", "stop after N lines"},
    {"--json", {}, "one JSON object a line, whose t is the seconds since the first line"},
    {"--csv",
     {},
     "the controller's telemetry (the controller only) as a header line, then the same fields as "
     "comma-separated rows"},
};

constexpr std::string_view kWriteForms[] = {
    "write [--board B] --port PORT [--port PORT ...] FILE [--flash] [--no-backup]\n"
    "        [--allow-out-of-range]"};
constexpr CommandOption kWriteOptions[] = {
    kBoard,
    {"--port", "PORT",
     "the port the board is on; given more than once, every board is written at the same time",
     Completes::Port, true},
    {"--flash", {}, "store the parameters in the board's flash once it has taken them"},
    {"--no-backup", {}, "send without saving the board's set as a backup first"},
    {"--allow-out-of-range",
     {},
     "send values outside the screen's ranges, a maximum not above its minimum and odd angle limits as the "
     "board's frames carry them (an odd limit halved), for files saved from a board that holds them; values "
     "the frames cannot carry are refused all the same"},
};

constexpr std::string_view kDiffForms[] = {"diff [--board B] FILE_A FILE_B [--exit-code]",
                                           "diff [--board B] --port PORT FILE [--exit-code]"};
constexpr CommandOption kDiffOptions[] = {
    kBoard,
    {"--port", "PORT", "compare the set of the board on PORT with FILE", Completes::Port},
    {"--exit-code", {}, "exit with 1 when anything differs"},
};

constexpr std::string_view kParamsForms[] = {"params [--board B] [--json]", "params --markdown"};
constexpr CommandOption kParamsOptions[] = {
    kBoard,
    {"--json", {}, "one JSON object a line"},
    {"--markdown",
     {},
     "the reference of both boards as a Markdown document, the one docs/parameters.md holds"},
};

constexpr std::string_view kMotorOnForms[] = {"motor-on --port PORT"};
constexpr std::string_view kMotorOffForms[] = {"motor-off --port PORT"};
constexpr std::string_view kCalibrateForms[] = {"calibrate --port PORT"};
constexpr CommandOption kCommandOptions[] = {kControllerPort};

constexpr std::string_view kUpgradeForms[] = {
    "upgrade --port PORT [--port PORT ...] [--board controller|motor] [--no-identify [--force]] FILE"};
constexpr CommandOption kUpgradeOptions[] = {
    {"--port", "PORT",
     "the port the board is on; given more than once, every board is upgraded at the same time",
     Completes::Port, true},
    {"--board", "controller|motor", "the board: controller (the default, .bgsf files) or motor (.bmcf files)",
     Completes::Board},
    {"--no-identify",
     {},
     "do not ask the running firmware which board it is, for a board put in its boot loader by hand "
     "(a freshly reset boot loader may take the question for its baud rate); the file must then name its "
     "chip"},
    {"--force",
     {},
     "with --no-identify, flash a file that names no chip (packed with --any-chip): nothing then checks "
     "that the board on the port is the one the file is for"},
};

constexpr std::string_view kPackForms[] = {
    "firmware pack --board controller|motor --version N [--address A] --chip ID|--any-chip [--force] IN\n"
    "        -o OUT"};
constexpr CommandOption kPackOptions[] = {
    {"--board", "controller|motor", "the board the firmware is for", Completes::Board, true},
    {"--version", "N", "the version in tenths (24 for V2.4) or as 2.4", Completes::Nothing, true},
    {"--address", "A", "where the image starts in flash (default 0x08000000)"},
    {"--chip", "ID", "the chip's product id, such as 0x410, checked before anything is erased"},
    {"--any-chip",
     {},
     "a file that names no chip, for any chip: only the board check of upgrade then keeps it from the "
     "wrong board"},
    {"--force",
     {},
     "pack a raw image that does not start with a stack pointer in RAM and a reset address inside it"},
    {"-o", "OUT", "the firmware file to write", Completes::File, true},
};
constexpr std::string_view kInfoForms[] = {"firmware info FILE"};

constexpr CommandRow kFirmwareCommands[] = {
    {"pack", kPackForms,
     "pack a raw binary or Intel HEX file IN as a firmware file (N in tenths, 24 for V2.4, or as 2.4;\n"
     "A defaults to 0x08000000; ID is the chip's product id, such as 0x410, checked before anything\n"
     "is erased, or --any-chip for a file that names none; a raw image must start with a stack pointer\n"
     "in RAM and a reset address inside it unless --force is given; an ELF file needs objcopy -O binary\n"
     "first)",
     kPackOptions, 1, 1, Completes::File, RunFirmwarePack},
    {"info",
     kInfoForms,
     "print a firmware file's header and check both its CRCs",
     {},
     1,
     1,
     Completes::File,
     RunFirmwareInfo},
};

constexpr std::string_view kHelpForms[] = {"help [COMMAND]"};

constexpr CommandRow kCommands[] = {
    {"ports", kPortsForms,
     "list the serial ports, one a line: name, device and a USB adapter's product and serial, then a\n"
     "note such as \"(no permission)\"; --json gives one JSON object a line",
     kPortsOptions, 0, 0, Completes::Nothing, RunPorts},
    {"read", kReadForms, "read the board's parameters and print them (or write FILE) as a configuration file",
     kReadOptions, 0, 0, Completes::Nothing, RunRead},
    {"monitor", kMonitorForms,
     "print live telemetry, one line per answer, until N lines or interrupted: attitude, RC channels,\n"
     "accelerations, motor state and firmware (the motor board: voltage, current and firmware); --json\n"
     "lines carry t, the seconds since the first line; --csv prints the controller's as a header line,\n"
     "then the same fields as rows. Monitoring never switches the motors, and it ends as soon as the\n"
     "reader of its output has gone",
     kMonitorOptions, 0, 0, Completes::Nothing, RunMonitor},
    {"write",
     kWriteForms,
     "send a configuration file's parameters over the board's own (keys the file lacks keep\n"
     "the board's values), then with --flash store them in the board's flash; the file is\n"
     "checked before the port is opened: keys that are no parameter are named and ignored (with\n"
     "the key one most likely meant), a file that has none of the keys changes nothing and is\n"
     "refused, and a value outside the range the screen allows, a maximum not above its minimum or\n"
     "an odd angle limit is refused (--allow-out-of-range sends such values as the board's frames\n"
     "carry them, for files saved from a board that holds them; values the frames cannot carry are\n"
     "refused always). The board's set read back is first saved in\n"
     "~/.local/share/qav-nuva/backups (%LOCALAPPDATA%\\qav-nuva\\backups on Windows; the last 50\n"
     "kept) unless --no-backup is given. With several\n"
     "ports, all are written at the same time and each gives one line when it ends: port, ok, failed\n"
     "or interrupted, seconds, what happened; the exit code is the worst of them",
     kWriteOptions,
     1,
     1,
     Completes::File,
     RunWrite,
     {},
     WriteRangesHelp},
    {"diff", kDiffForms,
     "list each parameter whose value differs between two configuration files, or between the\n"
     "board's set and a file, one line each: key, first value, second value, separated by tabs\n"
     "(values as a load reads them; a key only one file has shows \"(missing)\" for the other, and\n"
     "against a board the keys the file lacks are left out, since a load keeps the board's values\n"
     "for them); keys that are no parameter are named and ignored; --exit-code exits with 1 when\n"
     "anything differs",
     kDiffOptions, 1, 2, Completes::File, RunDiff},
    {"params", kParamsForms,
     "describe every parameter of the board: its key, the screen control that edits it, what it\n"
     "means, its unit and range, how it travels and what a configuration file may hold; --json gives\n"
     "one JSON object a line; --markdown the reference of both boards as docs/parameters.md has it",
     kParamsOptions, 0, 0, Completes::Nothing, RunParams},
    {"motor-on", kMotorOnForms, "switch the motors on and report the controller's result", kCommandOptions, 0,
     0, Completes::Nothing, RunMotorOn},
    {"motor-off", kMotorOffForms, "switch the motors off and report the controller's result", kCommandOptions,
     0, 0, Completes::Nothing, RunMotorOff},
    {"calibrate", kCalibrateForms, "calibrate the sensors and report the controller's result",
     kCommandOptions, 0, 0, Completes::Nothing, RunCalibrate},
    {"upgrade", kUpgradeForms,
     "flash a .bgsf (controller, the default) or .bmcf (motor board) firmware file through the\n"
     "board's boot loader (reset or power it with its boot jumper set within 10 s); a progress bar\n"
     "on a terminal, one line per 10 % otherwise. First the running firmware is asked which board\n"
     "it is, and the other board is never flashed; --no-identify skips that for a board put in its\n"
     "boot loader by hand, and then takes only a file that names its chip (or --force). The chip a\n"
     "firmware file names is checked before anything is erased.\n"
     "Exit 1 also for a firmware file that is unreadable, invalid or for the other board or chip,\n"
     "3 when the boot loader never answers, 4 for any other failure. With several ports, all are\n"
     "upgraded at the same time, one line each as for write",
     kUpgradeOptions, 1, 1, Completes::File, RunUpgrade},
    {"firmware",
     {},
     "make and inspect firmware files",
     {},
     0,
     0,
     Completes::Nothing,
     nullptr,
     kFirmwareCommands},
    {"help", kHelpForms, "describe COMMAND, or every command", {}, 0, 1, Completes::Command, RunHelp},
};

} // namespace

std::span<const CommandRow> Commands()
{
    return kCommands;
}

const CommandRow* FindCommand(std::span<const CommandRow> rows, std::string_view name)
{
    for (const CommandRow& row : rows)
        if (row.name == name)
            return &row;
    return nullptr;
}

std::string FormLine(std::string_view form)
{
    std::string line;
    for (std::size_t i = 0; i < form.size(); ++i) {
        if (form[i] != '\n') {
            line += form[i];
            continue;
        }
        while (i + 1 < form.size() && form[i + 1] == ' ')
            ++i;
        line += ' ';
    }
    return line;
}

int CommandCall::Usage(std::size_t form) const
{
    return Fail(err, kExitUsage, Say(Message::UsageLine, {kProgram, FormLine(row.forms[form])}));
}

} // namespace qav::cli
