#pragma once
// Commands that take --port more than once (write, upgrade) run one session
// per port, each on a thread of its own; a port's failure does not touch
// the others.
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace qav::cli {

// One port's whole command; says what happened on `out` and `err`.
using PortJob = std::function<int(const std::string& port, std::ostream& out, std::ostream& err)>;

// A single port runs on `out` and `err` as it is. Several run at once, and
// each gives one line on `out` as it ends: port, ok, failed or interrupted,
// seconds, and what it said (its notes and failures, then the last line of
// its results), separated by tabs. The exit code is the worst (highest).
int RunOnPorts(const std::vector<std::string>& ports, const PortJob& job, std::ostream& out,
               std::ostream& err);

// The first port given twice, or null.
const std::string* RepeatedPort(const std::vector<std::string>& ports);

} // namespace qav::cli
