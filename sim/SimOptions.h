#pragma once
// The qav-nuva-sim command line.
#include "Simulator.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace qav::sim {

struct SimCommandLine
{
    SimulatorConfig config;
    bool help = false;
    bool version = false;
};

// Parses the arguments after the program name; a failure's message is one
// line.
Result ParseSimOptions(const std::vector<std::string>& args, SimCommandLine& out);

// Usage text, several lines.
std::string SimUsage();

// The whole program: parses, starts the simulator, prints one line per device
// ("controller COM<n> <path>", "motor COM<m> <path>", again after each
// unplug), calls waitForStop (which returns on SIGINT or SIGTERM), stops.
// Returns the exit code: 0, or 1 after a one-line error on `err`.
int RunSimulator(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                 const std::function<void()>& waitForStop);

} // namespace qav::sim
