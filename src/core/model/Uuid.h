#pragma once

#include <array>
#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tessera {

// The value of one hexadecimal digit (either case); -1 for any other character.
constexpr int hexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// A 128-bit identifier. Written in the canonical upper-case 8-4-4-4-12 form and read in either
// case, so files written on any platform compare equal.
class Uuid {
public:
    using Bytes = std::array<std::uint8_t, 16>;

    constexpr Uuid() = default;
    constexpr explicit Uuid(const Bytes& bytes) : bytes_(bytes) {}

    // Accepts exactly 36 characters with dashes at 8, 13, 18 and 23, hex digits of either case.
    static std::optional<Uuid> parse(std::string_view text);
    // For identifiers that are part of the program; a bad one is a programming error.
    static Uuid fromLiteral(std::string_view text);
    // A new random (version 4) identifier.
    static Uuid random();

    std::string string() const;
    const Bytes& bytes() const { return bytes_; }

    friend bool operator==(const Uuid&, const Uuid&) = default;
    friend auto operator<=>(const Uuid&, const Uuid&) = default;

private:
    Bytes bytes_{};
};

// Boost-style mixing; shared by every record hash so that equal values hash equally everywhere.
inline void hashCombine(std::size_t& seed, std::size_t value) {
    seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
}

} // namespace tessera

template <> struct std::hash<tessera::Uuid> {
    std::size_t operator()(const tessera::Uuid& id) const noexcept {
        std::size_t seed = 0;
        for (auto b : id.bytes()) {
            tessera::hashCombine(seed, b);
        }
        return seed;
    }
};
