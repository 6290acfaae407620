#include "platform/SingleInstance.h"

namespace qav {

std::string DefaultInstanceName()
{
    return "QAVNUVAMUTEX";
}

} // namespace qav
