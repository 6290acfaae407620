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

// True when every field lies in bytes [from, to) and no two fields share a
// byte; checked at compile time for each layout.
template <class S>
constexpr bool FieldsFit(std::span<const WireField<S>> fields, std::size_t from, std::size_t to)
{
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].at < from || fields[i].End() > to)
            return false;
        for (std::size_t j = i + 1; j < fields.size(); ++j)
            if (fields[i].at < fields[j].End() && fields[j].at < fields[i].End())
                return false;
    }
    return true;
}

template <class S> void PutFields(std::span<const WireField<S>> fields, const S& from, Frame& f)
{
    for (const WireField<S>& field : fields) {
        if (field.wire == Wire::Fixed) {
            f[field.at] = field.fixed;
            continue;
        }
        const long long v = std::visit([&](auto m) { return static_cast<long long>(from.*m); }, field.member);
        switch (field.wire) {
        case Wire::Byte:
            f[field.at] = static_cast<std::uint8_t>(v & 0xFF);
            break;
        case Wire::HalfDegrees:
            f[field.at] = static_cast<std::uint8_t>((v / 2) & 0xFF);
            break;
        case Wire::BE16:
            f[field.at] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
            f[field.at + 1] = static_cast<std::uint8_t>(v & 0xFF);
            break;
        case Wire::LE16:
            f[field.at] = static_cast<std::uint8_t>(v & 0xFF);
            f[field.at + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
            break;
        case Wire::Fixed:
            break;
        }
    }
}

template <class S> void TakeFields(std::span<const WireField<S>> fields, const Frame& f, S& to)
{
    for (const WireField<S>& field : fields) {
        long long v = 0;
        switch (field.wire) {
        case Wire::Fixed:
            continue;
        case Wire::Byte:
            v = f[field.at];
            break;
        case Wire::HalfDegrees:
            v = static_cast<std::int8_t>(f[field.at]) * 2;
            break;
        case Wire::BE16:
            v = f[field.at] << 8 | f[field.at + 1];
            break;
        case Wire::LE16:
            v = f[field.at] | f[field.at + 1] << 8;
            break;
        }
        std::visit(
            [&](auto m) {
                using T = std::remove_reference_t<decltype(to.*m)>;
                // A signed member takes the wire's bits as a signed value of
                // the wire's width.
                if (std::is_signed_v<T> && field.wire != Wire::HalfDegrees)
                    v = field.wire == Wire::Byte ? static_cast<std::int8_t>(v) : static_cast<std::int16_t>(v);
                to.*m = static_cast<T>(v);
            },
            field.member);
    }
}

} // namespace qav
