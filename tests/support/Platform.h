#pragma once
// What tests need from the system they run on, in
// support/Platform<platform>.cpp: changing this process's environment
// (setenv and unsetenv; the C runtime's _putenv_s on Windows), and a path
// that opens a device rather than a file.
#include <string>

namespace qav::test {

// Sets the variable to value, or removes it when value is null.
void SetEnvVar(const std::string& name, const char* value);

// A device that opens like a file and reads without end: "/dev/zero";
// "NUL" on Windows.
const char* DevicePath();

} // namespace qav::test
