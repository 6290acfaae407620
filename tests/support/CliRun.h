#pragma once
// Runs the command-line tool in process, as its tests drive it.
#include "Cli.h"
#include "support/Patience.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace qav::test {

struct CliRun
{
    int code;
    std::string out, err;
};

// The exit code of a test program stopped by a command that hung.
inline constexpr int kCommandHung = 124;

// A command still running after `deadline` hangs: the test program ends
// there, naming the test and the command, rather than at the test runner's
// own time-out, which names neither.
inline CliRun Cli(const std::vector<std::string>& args, std::chrono::milliseconds deadline = kPatience)
{
    std::promise<CliRun> done;
    std::future<CliRun> result = done.get_future();
    std::thread run([args, done = std::move(done)]() mutable {
        std::ostringstream out, err;
        const int code = cli::RunCli(args, out, err);
        done.set_value({code, out.str(), err.str()});
    });
    if (result.wait_for(deadline) == std::future_status::timeout) {
        std::string command = "qav-nuva-cli";
        for (const std::string& a : args)
            command += " " + a;
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::fprintf(stderr, "%s.%s: `%s` did not end within %lld ms\n", test ? test->test_suite_name() : "?",
                     test ? test->name() : "?", command.c_str(), static_cast<long long>(deadline.count()));
        std::fflush(stderr);
        std::_Exit(kCommandHung);
    }
    run.join();
    return result.get();
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
