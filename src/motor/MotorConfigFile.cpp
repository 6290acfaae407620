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

Result LoadMotorConfig(const std::string& path, MotorParams& params)
{
    IniDocument doc;
    const bool readable = doc.Load(path);
    const Result result = readable ? Result{} : Result::Failed(errno, IniReadErrorText(errno));
    for (const MotorConfigKey& k : kMotorConfigKeys) {
        // The 32-bit long of the platform the files come from saturates;
        // only then is the number cut to a byte.
        const std::int64_t v = std::clamp<std::int64_t>(ReadAtol(doc.Get(kMotorConfigSection, k.key, "0")),
                                                        std::numeric_limits<std::int32_t>::min(),
                                                        std::numeric_limits<std::int32_t>::max());
        params.*k.param = static_cast<std::uint8_t>(v);
    }
    return result;
}

const std::array<ConfigKeyRange, 4> kMotorConfigRanges = {{
    {"POL_MOTOR1", 0, kMotorParamMax},
    {"POW_MOTOR1", 0, kMotorParamMax},
    {"POL_MOTOR2", 0, kMotorParamMax},
    {"POW_MOTOR2", 0, kMotorParamMax},
}};

void ApplyMotorConfig(const CheckedConfig& checked, MotorParams& params)
{
    for (const ConfigValue& v : checked.values)
        for (const MotorConfigKey& k : kMotorConfigKeys)
            if (k.key == v.key)
                params.*k.param = static_cast<std::uint8_t>(v.value);
}

} // namespace qav
