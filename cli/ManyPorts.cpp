#include "ManyPorts.h"

#include "Cli.h"
#include "CliReport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <ostream>
#include <sstream>
#include <thread>

namespace qav::cli {
namespace {

// What a port's command said, on one line: its notes and failures, then
// the last line of its results (progress lines before it are left out),
// without the program's prefix.
std::string PortLine(const std::string& outText, const std::string& errText)
{
    std::vector<std::string> said;
    const std::string prefix = std::string(kProgram) + ": ";
    std::istringstream errLines(errText);
    for (std::string l; std::getline(errLines, l);)
        if (!l.empty())
            said.push_back(l.rfind(prefix, 0) == 0 ? l.substr(prefix.size()) : l);
    std::string last;
    std::istringstream outLines(outText);
    for (std::string l; std::getline(outLines, l);)
        if (!l.empty())
            last = l;
    if (!last.empty())
        said.push_back(last);
    std::string line;
    for (const std::string& s : said)
        line += (line.empty() ? "" : " ") + s;
    return line;
}

} // namespace

int RunOnPorts(const std::vector<std::string>& ports, const PortJob& job, std::ostream& out,
               std::ostream& err)
{
    if (ports.size() == 1)
        return job(ports.front(), out, err);
    std::mutex lock;
    int worst = kExitOk;
    std::vector<std::thread> workers;
    for (const std::string& port : ports)
        workers.emplace_back([&, port] {
            const auto start = std::chrono::steady_clock::now();
            std::ostringstream portOut, portErr;
            const int code = job(port, portOut, portErr);
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            const char* outcome = code == kExitOk ? "ok" : code > 128 ? "interrupted" : "failed";
            char timing[32];
            std::snprintf(timing, sizeof timing, "%.2f s", seconds);
            const std::lock_guard<std::mutex> hold(lock);
            out << port << '\t' << outcome << '\t' << timing << '\t' << PortLine(portOut.str(), portErr.str())
                << std::endl;
            worst = std::max(worst, code);
        });
    for (std::thread& w : workers)
        w.join();
    return worst;
}

const std::string* RepeatedPort(const std::vector<std::string>& ports)
{
    for (auto p = ports.begin(); p != ports.end(); ++p)
        if (std::find(ports.begin(), p, *p) != p)
            return &*p;
    return nullptr;
}

} // namespace qav::cli
