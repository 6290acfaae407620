#pragma once
// A private, empty alias folder for one test: made under the system's
// temporary folder, set as QAV_NUVA_PORTS_DIR, removed with everything in it
// (and the variable restored) afterwards.
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <string>

namespace qav::test {

class ScopedPortsDir
{
public:
    // The alias folder is a not yet existing folder inside a fresh temporary
    // one, so that creating it is part of what gets exercised.
    ScopedPortsDir() : dir_(temp_.File("ports")), variable_("QAV_NUVA_PORTS_DIR", dir_) {}
    ScopedPortsDir(const ScopedPortsDir&) = delete;
    ScopedPortsDir& operator=(const ScopedPortsDir&) = delete;

    const std::string& Path() const { return dir_; }
    // A scratch folder beside the alias folder, removed with it.
    std::string Scratch() const { return temp_.path().string(); }

private:
    TempDir temp_;
    std::string dir_;
    ScopedEnv variable_;
};

} // namespace qav::test
