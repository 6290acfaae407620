#pragma once
// An environment variable changed for the life of the object: what was
// there before, or its absence, comes back at the end, so tests that change
// the environment leave none of it to the tests run after them in the same
// process.
#include "support/Platform.h"

#include <cstdlib>
#include <optional>
#include <string>

namespace qav::test {

class ScopedEnv
{
public:
    explicit ScopedEnv(std::string name) : name_(std::move(name))
    {
        if (const char* value = std::getenv(name_.c_str()))
            saved_ = value;
    }
    ScopedEnv(std::string name, const std::string& value) : ScopedEnv(std::move(name)) { Set(value); }
    ~ScopedEnv()
    {
        SetEnvVar(name_, saved_ ? saved_->c_str() : nullptr);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

    void Set(const std::string& value) { SetEnvVar(name_, value.c_str()); }
    // Nothing: unset.
    void Set(const char* value) { value ? Set(std::string(value)) : Unset(); }
    void Unset() { SetEnvVar(name_, nullptr); }

private:
    std::string name_;
    std::optional<std::string> saved_;
};

} // namespace qav::test
