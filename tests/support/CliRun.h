#pragma once
// Runs the command-line tool in process, as its tests drive it.
#include "Cli.h"

#include <sstream>
#include <string>
#include <vector>

namespace qav::test {

struct CliRun
{
    int code;
    std::string out, err;
};

inline CliRun Cli(const std::vector<std::string>& args)
{
    std::ostringstream out, err;
    const int code = cli::RunCli(args, out, err);
    return {code, out.str(), err.str()};
}

// A write first says where it kept the device's set; the rest is what the
// tests look at.
inline std::string WithoutBackupNote(const std::string& err)
{
    std::string out;
    std::istringstream lines(err);
    for (std::string line; std::getline(lines, line);)
        if (line.find(" was saved to ") == std::string::npos)
            out += line + "\n";
    return out;
}

} // namespace qav::test
