#pragma once
// The command-line verbs for the motor driver board (--board motor): read
// its parameters as a motor configuration file, monitor its supply, and
// write a file's parameters (optionally into its flash). Each returns an
// exit code of Cli.h and says what failed in one sentence on `err`.
#include <csignal>
#include <iosfwd>
#include <string>

namespace qav::cli {

// The four parameters as a .bmc file: to `outFile`, or to `out` when empty.
int MotorRead(const std::string& port, const std::string& outFile, std::ostream& out, std::ostream& err,
              const volatile std::sig_atomic_t* stop);

// One line per monitor report: voltage and current with three decimals and
// the firmware version; as JSON objects with the keys voltage, current and
// firmware when asked. `count` < 0: until stopped.
int MotorMonitor(const std::string& port, long count, bool json, std::ostream& out, std::ostream& err,
                 const volatile std::sig_atomic_t* stop);

// Checks `file` before the port is opened (values outside the dialog's
// range only pass with `allowOutOfRange`); reads the board's parameters
// (a key the file lacks keeps the board's value, said on `err`); sends the
// values with command 1 until the board takes them; with `flash` then
// writes them to flash until the board reports the result. A board that
// keeps refusing the flash write for 3 s gives exit 4 with its words.
int MotorWrite(const std::string& port, const std::string& file, bool flash, bool backup, bool allowOutOfRange,
               std::ostream& out, std::ostream& err, const volatile std::sig_atomic_t* stop);

} // namespace qav::cli
