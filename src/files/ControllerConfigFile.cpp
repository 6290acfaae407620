#include "files/ControllerConfigFile.h"

#include "platform/Atol.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <utility>
#include <vector>

namespace qav {
namespace {

using P = ControllerParams;

// Reading and writing one field through its member, whatever its width.
struct KeyField
{
    std::string_view key;
    bool read;
    std::int64_t (*get)(const P&);
    void (*set)(P&, std::int64_t);
    std::int64_t min, max; // what the field can hold
};

template <auto Member> std::int64_t GetField(const P& p)
{
    return static_cast<std::int64_t>(p.*Member);
}

template <auto Member> void SetField(P& p, std::int64_t v)
{
    using T = std::remove_cvref_t<decltype(p.*Member)>;
    // Conversion to a narrower type keeps the low bits (two's complement).
    p.*Member = static_cast<T>(v);
}

template <auto Member> constexpr KeyField Field(std::string_view key, bool read = true)
{
    using T = std::remove_cvref_t<decltype(std::declval<P&>().*Member)>;
    return KeyField{key,
                    read,
                    &GetField<Member>,
                    &SetField<Member>,
                    std::numeric_limits<T>::min(),
                    std::numeric_limits<T>::max()};
}

// Save order; loads use the same order without the write-only key.
constexpr std::array<KeyField, 24> kKeys = {{
    Field<&P::ROLL_ACC>("ROLL_ACC"),
    Field<&P::ROLL_TOTAL>("ROLL_TOTAL"),
    Field<&P::ROLL_VEL>("ROLL_VEL"),
    Field<&P::ROLL_INT>("ROLL_INT"),
    Field<&P::PITCH_ACC>("PITCH_ACC"),
    Field<&P::PITCH_TOTAL>("PITCH_TOTAL"),
    Field<&P::PITCH_VEL>("PITCH_VEL"),
    Field<&P::PITCH_INT>("PITCH_INT"),
    Field<&P::ROLL_MAX>("ROLL_MAX"),
    Field<&P::ROLL_MIN>("ROLL_MIN"),
    Field<&P::PITCH_MAX>("PITCH_MAX"),
    Field<&P::PITCH_MIN>("PITCH_MIN"),
    Field<&P::ROLL_SERVO_CENTER>("ROLL_SERVO_CENTER"),
    Field<&P::PITCH_SERVO_CENTER>("PITCH_SERVO_CENTER"),
    Field<&P::YAW_SERVO_CENTER>("YAW_SERVO_CENTER", false),
    Field<&P::ROLL_SERVO_REV>("ROLL_SERVO_REV"),
    Field<&P::PITCH_SERVO_REV>("PITCH_SERVO_REV"),
    Field<&P::ROLL_RC_ACC>("ROLL_RC_ACC"),
    Field<&P::PITCH_RC_ACC>("PITCH_RC_ACC"),
    Field<&P::INSTALL_MODE>("INSTALL_MODE"),
    Field<&P::RECEIVER_TYPE>("RECEIVER_TYPE"),
    Field<&P::INIT_PITCH>("INIT_PITCH"),
    Field<&P::INIT_ROLL>("INIT_ROLL"),
    Field<&P::DEFAULT_MODE>("DEFAULT_MODE"),
}};

// The files come from a platform whose atol yields a 32-bit long that
// saturates on overflow; only then is the number cut to the field's width.
std::int64_t AsLong(std::int64_t v)
{
    return std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                    std::numeric_limits<std::int32_t>::max());
}

} // namespace

std::vector<IniEntry> ControllerConfigEntries(const ControllerParams& params)
{
    std::vector<IniEntry> entries;
    entries.reserve(kKeys.size());
    for (const KeyField& f : kKeys)
        entries.push_back(IniEntry{std::string(kControllerConfigSection), std::string(f.key),
                                   std::to_string(f.get(params))});
    return entries;
}

IniWriteResult SaveControllerConfig(const std::string& path, const ControllerParams& params)
{
    return WritePrivateProfileStrings(ControllerConfigEntries(params), path);
}

std::vector<ConfigKeyRange> ControllerConfigKeyRanges()
{
    std::vector<ConfigKeyRange> ranges;
    for (const KeyField& f : kKeys)
        if (f.read)
            ranges.push_back(ConfigKeyRange{f.key, f.min, f.max});
    return ranges;
}

void ApplyControllerConfig(const CheckedConfig& checked, ControllerParams& params)
{
    for (const ConfigValue& v : checked.values)
        for (const KeyField& f : kKeys)
            if (f.read && f.key == v.key)
                f.set(params, v.value);
}

Result LoadControllerConfig(const std::string& path, ControllerParams& params, bool* hasSection)
{
    IniDocument doc;
    const bool readable = doc.Load(path);
    const Result result = readable ? Result{} : Result::Failed(errno, IniReadErrorText(errno));
    if (hasSection)
        *hasSection = doc.HasSection(kControllerConfigSection);
    for (const KeyField& f : kKeys) {
        if (f.read)
            f.set(params, AsLong(ReadAtol(doc.Get(kControllerConfigSection, f.key, "0"))));
    }
    return result;
}

} // namespace qav
