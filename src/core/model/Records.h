#pragma once

#include "Uuid.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tessera {

// Carbon modifier bits; stored as-is on every platform so shortcuts move between machines.
namespace carbon {
inline constexpr std::uint32_t cmdKey = 0x100;
inline constexpr std::uint32_t shiftKey = 0x200;
inline constexpr std::uint32_t optionKey = 0x800;
inline constexpr std::uint32_t controlKey = 0x1000;
} // namespace carbon

// One keyboard shortcut. Equality covers the display text too; code asking whether two
// shortcuts are the same key combination compares keyCode and carbonModifiers only
// (sameCombination).
struct KeyCombo {
    std::uint32_t keyCode = 0;
    std::uint32_t carbonModifiers = 0;
    std::string display;

    friend bool operator==(const KeyCombo&, const KeyCombo&) = default;
};

inline bool sameCombination(const KeyCombo& a, const KeyCombo& b) {
    return a.keyCode == b.keyCode && a.carbonModifiers == b.carbonModifiers;
}

// A rectangle of a layout, normalized to a display's free area: x from the left, y from the
// top, width and height as fractions. Nothing here clamps; the editor keeps zones in range.
struct Zone {
    Uuid id;
    std::string name;
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    std::optional<KeyCombo> shortcut;

    friend bool operator==(const Zone&, const Zone&) = default;
};

struct Layout {
    Uuid id;
    std::string name;
    std::vector<Zone> zones;

    friend bool operator==(const Layout&, const Layout&) = default;
};

// Parts of a display taken by panels and docks, as fractions of the display's full frame.
struct ScreenInsets {
    double top = 0;
    double left = 0;
    double bottom = 0;
    double right = 0;

    friend bool operator==(const ScreenInsets&, const ScreenInsets&) = default;
};

// One connected display as the rest of the system sees it; rebuilt on every display change.
struct ScreenInfo {
    std::string id;
    std::string name;
    std::int64_t pointWidth = 0;
    std::int64_t pointHeight = 0;
    std::int64_t pixelWidth = 0;
    std::int64_t pixelHeight = 0;
    double scale = 1;
    ScreenInsets visibleInsets;

    bool isPortrait() const { return pointWidth < pointHeight; }

    friend bool operator==(const ScreenInfo&, const ScreenInfo&) = default;
};

// The layout store's document, also embedded whole in a backup.
struct LayoutStorePayload {
    std::vector<Layout> layouts;
    std::map<std::string, Uuid> assignments;
    std::optional<std::vector<Uuid>> seeded;

    friend bool operator==(const LayoutStorePayload&, const LayoutStorePayload&) = default;
};

} // namespace tessera

template <> struct std::hash<tessera::KeyCombo> {
    std::size_t operator()(const tessera::KeyCombo& k) const noexcept;
};
template <> struct std::hash<tessera::Zone> {
    std::size_t operator()(const tessera::Zone& z) const noexcept;
};
template <> struct std::hash<tessera::Layout> {
    std::size_t operator()(const tessera::Layout& l) const noexcept;
};
template <> struct std::hash<tessera::ScreenInsets> {
    std::size_t operator()(const tessera::ScreenInsets& i) const noexcept;
};
template <> struct std::hash<tessera::ScreenInfo> {
    std::size_t operator()(const tessera::ScreenInfo& s) const noexcept;
};
template <> struct std::hash<tessera::LayoutStorePayload> {
    std::size_t operator()(const tessera::LayoutStorePayload& p) const noexcept;
};
