#include "Records.h"

namespace {

using tessera::hashCombine;

template <typename T> std::size_t hashOf(const T& value) {
    return std::hash<T>{}(value);
}

// -0.0 == 0.0 as values, so they must hash alike.
std::size_t hashDouble(double d) {
    return d == 0 ? 0 : std::hash<double>{}(d);
}

} // namespace

std::size_t std::hash<tessera::KeyCombo>::operator()(const tessera::KeyCombo& k) const noexcept {
    std::size_t seed = 0;
    hashCombine(seed, k.keyCode);
    hashCombine(seed, k.carbonModifiers);
    hashCombine(seed, hashOf(k.display));
    return seed;
}

std::size_t std::hash<tessera::Zone>::operator()(const tessera::Zone& z) const noexcept {
    std::size_t seed = 0;
    hashCombine(seed, hashOf(z.id));
    hashCombine(seed, hashOf(z.name));
    hashCombine(seed, hashDouble(z.x));
    hashCombine(seed, hashDouble(z.y));
    hashCombine(seed, hashDouble(z.width));
    hashCombine(seed, hashDouble(z.height));
    hashCombine(seed, z.shortcut ? hashOf(*z.shortcut) + 1 : 0);
    return seed;
}

std::size_t std::hash<tessera::Layout>::operator()(const tessera::Layout& l) const noexcept {
    std::size_t seed = 0;
    hashCombine(seed, hashOf(l.id));
    hashCombine(seed, hashOf(l.name));
    for (const auto& zone : l.zones) {
        hashCombine(seed, hashOf(zone));
    }
    return seed;
}

std::size_t
std::hash<tessera::ScreenInsets>::operator()(const tessera::ScreenInsets& i) const noexcept {
    std::size_t seed = 0;
    hashCombine(seed, hashDouble(i.top));
    hashCombine(seed, hashDouble(i.left));
    hashCombine(seed, hashDouble(i.bottom));
    hashCombine(seed, hashDouble(i.right));
    return seed;
}

std::size_t
std::hash<tessera::ScreenInfo>::operator()(const tessera::ScreenInfo& s) const noexcept {
    std::size_t seed = 0;
    hashCombine(seed, hashOf(s.id));
    hashCombine(seed, hashOf(s.name));
    hashCombine(seed, hashOf(s.pointWidth));
    hashCombine(seed, hashOf(s.pointHeight));
    hashCombine(seed, hashOf(s.pixelWidth));
    hashCombine(seed, hashOf(s.pixelHeight));
    hashCombine(seed, hashDouble(s.scale));
    hashCombine(seed, hashOf(s.visibleInsets));
    return seed;
}

std::size_t std::hash<tessera::LayoutStorePayload>::operator()(
    const tessera::LayoutStorePayload& p) const noexcept {
    std::size_t seed = 0;
    for (const auto& layout : p.layouts) {
        hashCombine(seed, hashOf(layout));
    }
    for (const auto& [key, id] : p.assignments) {
        hashCombine(seed, hashOf(key));
        hashCombine(seed, hashOf(id));
    }
    if (p.seeded) {
        hashCombine(seed, p.seeded->size() + 1);
        for (const auto& id : *p.seeded) {
            hashCombine(seed, hashOf(id));
        }
    }
    return seed;
}
