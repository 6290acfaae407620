#pragma once
// Boot loader exchanges written out byte by byte in tests: an address as it
// travels (four bytes, high first, then their XOR) and several parts joined.
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace qav::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes Address(std::uint32_t a)
{
    Bytes b{std::uint8_t(a >> 24), std::uint8_t(a >> 16), std::uint8_t(a >> 8), std::uint8_t(a)};
    b.push_back(b[0] ^ b[1] ^ b[2] ^ b[3]);
    return b;
}

inline Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

} // namespace qav::test
