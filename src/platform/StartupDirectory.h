#pragma once
// The directory the program was started in, kept for files that live beside
// it (the settings file). Ends with the separator ("/", on Windows "\\"); empty when the current directory
// cannot be read (for example when it has been removed).
#include <string>

namespace qav {

std::string CaptureStartupDirectory();

} // namespace qav
