#pragma once
// Payload layouts as data: each frame layout is one table of byte position,
// wire form and member, read by both the encoder and the decoder, so the two
// directions cannot disagree about where a field sits.
#include "protocol/Frame.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>
#include <variant>

namespace qav {

enum class Wire : std::uint8_t {
    Byte,        // one byte; a signed member is sign-extended when taken
    BE16,        // 16 bits, high byte first
    LE16,        // 16 bits, low byte first
    HalfDegrees, // an angle limit in degrees, halved toward zero into one signed byte
    Fixed,       // a constant byte that is sent and never taken
};

constexpr std::size_t WireWidth(Wire w)
{
    return w == Wire::BE16 || w == Wire::LE16 ? 2 : 1;
}

template <class S> struct WireField
{
    using Member = std::variant<std::uint8_t S::*, std::int8_t S::*, std::uint16_t S::*, std::int16_t S::*,
                                std::int32_t S::*>;
    std::size_t at = 0;
    Wire wire = Wire::Fixed;
    Member member{};
    std::uint8_t fixed = 0; // the byte a Wire::Fixed field sends

    constexpr std::size_t End() const { return at + WireWidth(wire); }
};

// A constant byte in a layout.
template <class S> constexpr WireField<S> FixedByte(std::size_t at, std::uint8_t value)
{
    return WireField<S>{at, Wire::Fixed, {}, value};
}

// One layout made of two parts that other layouts share.
template <class S, std::size_t N, std::size_t M>
constexpr std::array<WireField<S>, N + M> Join(const std::array<WireField<S>, N>& a,
                                               const std::array<WireField<S>, M>& b)
{
    std::array<WireField<S>, N + M> out{};
    for (std::size_t i = 0; i < N; ++i)
        out[i] = a[i];
    for (std::size_t i = 0; i < M; ++i)
        out[N + i] = b[i];
    return out;
}

// True when every row (anything with `at` and `End()`) lies in bytes
// [from, to) and no two rows share a byte; checked at compile time for each
// layout.
template <class Row> constexpr bool RowsFit(std::span<const Row> rows, std::size_t from, std::size_t to)
{
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].at < from || rows[i].End() > to)
            return false;
        for (std::size_t j = i + 1; j < rows.size(); ++j)
            if (rows[i].at < rows[j].End() && rows[j].at < rows[i].End())
                return false;
    }
    return true;
}

template <class S>
constexpr bool FieldsFit(std::span<const WireField<S>> fields, std::size_t from, std::size_t to)
{
    return RowsFit(fields, from, to);
}

// Writes `v` at `at` in wire form `w`; a Fixed field writes nothing here.
inline void PutWire(Frame& f, std::size_t at, Wire w, long long v)
{
    switch (w) {
    case Wire::Byte:
        f[at] = static_cast<std::uint8_t>(v & 0xFF);
        break;
    case Wire::HalfDegrees:
        f[at] = static_cast<std::uint8_t>((v / 2) & 0xFF);
        break;
    case Wire::BE16:
        f[at] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
        f[at + 1] = static_cast<std::uint8_t>(v & 0xFF);
        break;
    case Wire::LE16:
        f[at] = static_cast<std::uint8_t>(v & 0xFF);
        f[at + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
        break;
    case Wire::Fixed:
        break;
    }
}

// The bits at `at` in wire form `w`, unsigned; an angle limit comes back
// doubled (signed), a Fixed field as 0.
inline long long TakeWire(const Frame& f, std::size_t at, Wire w)
{
    switch (w) {
    case Wire::Byte:
        return f[at];
    case Wire::HalfDegrees:
        return static_cast<std::int8_t>(f[at]) * 2;
    case Wire::BE16:
        return f[at] << 8 | f[at + 1];
    case Wire::LE16:
        return f[at] | f[at + 1] << 8;
    case Wire::Fixed:
        break;
    }
    return 0;
}

// Bits taken from a Byte or 16-bit field read as a signed value of the
// wire's width.
inline long long SignedWire(long long bits, Wire w)
{
    return w == Wire::Byte ? static_cast<std::int8_t>(bits) : static_cast<std::int16_t>(bits);
}

template <class S> void PutFields(std::span<const WireField<S>> fields, const S& from, Frame& f)
{
    for (const WireField<S>& field : fields) {
        if (field.wire == Wire::Fixed) {
            f[field.at] = field.fixed;
            continue;
        }
        const long long v = std::visit([&](auto m) { return static_cast<long long>(from.*m); }, field.member);
        PutWire(f, field.at, field.wire, v);
    }
}

template <class S> void TakeFields(std::span<const WireField<S>> fields, const Frame& f, S& to)
{
    for (const WireField<S>& field : fields) {
        if (field.wire == Wire::Fixed)
            continue;
        long long v = TakeWire(f, field.at, field.wire);
        std::visit(
            [&](auto m) {
                using T = std::remove_reference_t<decltype(to.*m)>;
                // A signed member takes the wire's bits as a signed value of
                // the wire's width.
                if (std::is_signed_v<T> && field.wire != Wire::HalfDegrees)
                    v = SignedWire(v, field.wire);
                to.*m = static_cast<T>(v);
            },
            field.member);
    }
}

} // namespace qav
