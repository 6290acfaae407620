// What reading and replacing whole files says the same on every platform.
#include "platform/RegularFile.h"

#include <cstring>

namespace qav {
namespace {

std::string SizeText(std::size_t bytes)
{
    constexpr std::size_t kKiB = 1024, kMiB = kKiB * kKiB;
    if (bytes >= kMiB && bytes % kMiB == 0)
        return std::to_string(bytes / kMiB) + " MiB";
    if (bytes >= kKiB && bytes % kKiB == 0)
        return std::to_string(bytes / kKiB) + " KiB";
    return std::to_string(bytes) + " bytes";
}

} // namespace

std::string FileErrorText(int error, std::size_t maxBytes)
{
    if (error == kNotRegularFile)
        return "not a regular file";
    if (error == EFBIG && maxBytes > 0)
        return "larger than " + SizeText(maxBytes);
    return std::strerror(error);
}

Result FileFailure(int error, std::size_t maxBytes)
{
    return Result::Failed(error, FileErrorText(error, maxBytes));
}

} // namespace qav
