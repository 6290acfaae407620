#pragma once
// A private, empty alias folder for one test: made under the system's
// temporary folder, set as QAV_NUVA_PORTS_DIR, removed with everything in it
// (and the variable restored) afterwards.
#include "support/TempDir.h"

#include <cstdlib>
#include <optional>
#include <string>

namespace qav::test {

class ScopedPortsDir
{
public:
    // The alias folder is a not yet existing folder inside a fresh temporary
    // one, so that creating it is part of what gets exercised.
    ScopedPortsDir() : dir_(temp_.File("ports"))
    {
        if (const char* old = std::getenv(kVariable))
            saved_ = old;
        ::setenv(kVariable, dir_.c_str(), 1);
    }
    ~ScopedPortsDir()
    {
        if (saved_)
            ::setenv(kVariable, saved_->c_str(), 1);
        else
            ::unsetenv(kVariable);
    }
    ScopedPortsDir(const ScopedPortsDir&) = delete;
    ScopedPortsDir& operator=(const ScopedPortsDir&) = delete;

    const std::string& Path() const { return dir_; }
    // A scratch folder beside the alias folder, removed with it.
    std::string Scratch() const { return temp_.path().string(); }

private:
    static constexpr const char* kVariable = "QAV_NUVA_PORTS_DIR";
    TempDir temp_;
    std::string dir_;
    std::optional<std::string> saved_;
};

} // namespace qav::test
