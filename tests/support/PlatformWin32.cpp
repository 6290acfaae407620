#include "support/Platform.h"

#include <cstdlib>

namespace qav::test {

// Through the C runtime, so getenv sees the change (an empty value removes
// the variable there).
void SetEnvVar(const std::string& name, const char* value)
{
    ::_putenv_s(name.c_str(), value ? value : "");
}

const char* DevicePath()
{
    return "NUL";
}

} // namespace qav::test
