#include "motor/MotorConfigFile.h"

#include "platform/Atol.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <sys/stat.h>

namespace qav {

const std::array<MotorConfigKey, 4> kMotorConfigKeys = {{
    {"POL_MOTOR1", &MotorParams::POL_MOTOR1},
    {"POW_MOTOR1", &MotorParams::POW_MOTOR1},
    {"POL_MOTOR2", &MotorParams::POL_MOTOR2},
    {"POW_MOTOR2", &MotorParams::POW_MOTOR2},
}};

std::vector<IniEntry> MotorConfigEntries(const MotorParams& params)
{
    std::vector<IniEntry> entries;
    for (const MotorConfigKey& k : kMotorConfigKeys)
        entries.push_back(
            IniEntry{std::string(kMotorConfigSection), std::string(k.key), std::to_string(params.*k.param)});
    return entries;
}

IniWriteResult SaveMotorConfig(const std::string& path, const MotorParams& params)
{
    return WritePrivateProfileStrings(MotorConfigEntries(params), path);
}

bool LoadMotorConfig(const std::string& path, MotorParams& params)
{
    IniDocument doc;
    const bool readable = doc.Load(path);
    const int error = errno;
    for (const MotorConfigKey& k : kMotorConfigKeys) {
        // The 32-bit long of the platform the files come from saturates;
        // only then is the number cut to a byte.
        const std::int64_t v = std::clamp<std::int64_t>(ReadAtol(doc.Get(kMotorConfigSection, k.key, "0")),
                                                        std::numeric_limits<std::int32_t>::min(),
                                                        std::numeric_limits<std::int32_t>::max());
        params.*k.param = static_cast<std::uint8_t>(v);
    }
    errno = error;
    return readable;
}

namespace {

std::optional<std::uint8_t> WholeNumberInRange(const std::string& text)
{
    if (text.empty() || text.size() > 8 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const int v = std::stoi(text);
    if (v > kMotorParamMax)
        return std::nullopt;
    return static_cast<std::uint8_t>(v);
}

} // namespace

MotorFileCheck CheckMotorConfigFile(const std::string& path)
{
    MotorFileCheck check;
    struct stat st
    {
    };
    if (stat(path.c_str(), &st) != 0) {
        check.problem = "Cannot read " + path + ": " + std::strerror(errno) + ".";
        return check;
    }
    if (!S_ISREG(st.st_mode)) {
        check.problem = path + " is not a regular file.";
        return check;
    }
    if (static_cast<std::uintmax_t>(st.st_size) > kMotorFileMaxBytes) {
        check.problem = path + " is larger than 1 MiB; a motor configuration file is a few lines.";
        return check;
    }
    IniDocument doc;
    if (!doc.Load(path)) {
        check.problem = "Cannot read " + path + ": " + std::strerror(errno) + ".";
        return check;
    }
    if (!doc.HasSection(kMotorConfigSection)) {
        check.problem = path + " has no [" + std::string(kMotorConfigSection) + "] section.";
        return check;
    }
    std::vector<std::string> bad;
    std::string text;
    for (std::size_t i = 0; i < kMotorConfigKeys.size(); ++i) {
        const std::string_view key = kMotorConfigKeys[i].key;
        if (!doc.Find(kMotorConfigSection, key, text))
            continue;
        check.values[i] = WholeNumberInRange(text);
        if (!check.values[i])
            bad.push_back(std::string(key) + "=" + text);
    }
    if (!bad.empty()) {
        std::string list;
        for (std::size_t i = 0; i < bad.size(); ++i)
            list += (i == 0 ? "" : i + 1 == bad.size() ? " and " : ", ") + bad[i];
        check.problem = path + ": " + list +
                        (bad.size() == 1 ? " is not a whole number" : " are not whole numbers") +
                        " from 0 to " + std::to_string(kMotorParamMax) + ".";
        return check;
    }
    check.ok = true;
    return check;
}

} // namespace qav
