#pragma once
// One pseudo-terminal, seen from the device's side: the master end the
// simulator reads and writes, and the path of the slave end a client opens.
//
// The simulator keeps a slave descriptor of its own open for the terminal's
// whole life. Without it, the master reports a hang-up (and reads fail with
// EIO) whenever no client has the slave open, which would make a poll loop
// spin between two clients. That descriptor is never read, so it takes no
// bytes from a client.
#include <string>

namespace qav::sim {

class PseudoTerminal
{
public:
    PseudoTerminal() = default;
    ~PseudoTerminal() { Close(); }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    // Creates the terminal in raw mode (no echo, no line editing, 8 bits).
    // False with errno set on failure.
    bool Open();
    // Closes both ends: a client that has the slave open sees a hang-up.
    void Close();

    bool IsOpen() const { return master_ >= 0; }
    int MasterFd() const { return master_; }
    const std::string& SlavePath() const { return slavePath_; }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

} // namespace qav::sim
