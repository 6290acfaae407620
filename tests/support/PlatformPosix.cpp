#include "support/Platform.h"

#include <cstdlib>

namespace qav::test {

void SetEnvVar(const std::string& name, const char* value)
{
    if (value)
        ::setenv(name.c_str(), value, 1);
    else
        ::unsetenv(name.c_str());
}

const char* DevicePath()
{
    return "/dev/zero";
}

} // namespace qav::test
