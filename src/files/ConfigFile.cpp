#include "files/ConfigFile.h"

namespace qav {

std::vector<ConfigKeyRange> ConfigKeyRanges(const BoardRow& board)
{
    std::vector<ConfigKeyRange> ranges;
    for (const BoardParam& p : board.params())
        if (p.file == FileUse::ReadWrite)
            ranges.push_back(ConfigKeyRange{p.key, p.field.low, p.field.high, p.wire.carried, p.range,
                                            p.choices, p.wire.step, p.above});
    return ranges;
}

std::vector<std::string_view> ConfigWriteOnlyKeys(const BoardRow& board)
{
    std::vector<std::string_view> keys;
    for (const BoardParam& p : board.params())
        if (p.file == FileUse::WriteOnly)
            keys.push_back(p.key);
    return keys;
}

} // namespace qav
