#pragma once
// Bytes for transport tests: every byte value, XON/XOFF and line ends
// included, in an order that differs with `seed`.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qav::test {

inline std::vector<std::uint8_t> Pattern(std::size_t n, std::uint8_t seed = 0)
{
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<std::uint8_t>(i * 7 + seed);
    return v;
}

} // namespace qav::test
