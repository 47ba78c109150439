#include "BuiltInLayouts.h"

#include <cstdlib>

namespace tessera {

namespace {

Zone zone(const char* id, const char* name, double x, double y, double w, double h) {
    return Zone{Uuid::fromLiteral(id), name, x, y, w, h, std::nullopt};
}

constexpr double third = 1.0 / 3.0;
constexpr double twoThirds = 2.0 / 3.0;

} // namespace

std::vector<Layout> builtInLayouts() {
    return {
        Layout{Uuid::fromLiteral(builtin::stackHalfID),
               "Stack + Half",
               {
                   zone("11111111-aaaa-1111-1111-111111111111", "Top Left", 0, 0, 0.5, 0.5),
                   zone("11111111-bbbb-1111-1111-111111111111", "Bottom Left", 0, 0.5, 0.5, 0.5),
                   zone("11111111-cccc-1111-1111-111111111111", "Right", 0.5, 0, 0.5, 1),
               }},
        Layout{Uuid::fromLiteral(builtin::halfStackID),
               "Half + Stack",
               {
                   zone("22222222-aaaa-2222-2222-222222222222", "Left", 0, 0, 0.5, 1),
                   zone("22222222-bbbb-2222-2222-222222222222", "Top Right", 0.5, 0, 0.5, 0.5),
                   zone("22222222-cccc-2222-2222-222222222222", "Bottom Right", 0.5, 0.5, 0.5, 0.5),
               }},
        Layout{Uuid::fromLiteral(builtin::threeColumnsID),
               "Three Columns",
               {
                   zone("33333333-aaaa-3333-3333-333333333333", "Left", 0, 0, third, 1),
                   zone("33333333-bbbb-3333-3333-333333333333", "Center", third, 0, third, 1),
                   zone("33333333-cccc-3333-3333-333333333333", "Right", twoThirds, 0, third, 1),
               }},
        Layout{
            Uuid::fromLiteral(builtin::columnsStackID),
            "Columns + Stack",
            {
                zone("44444444-aaaa-4444-4444-444444444444", "Left", 0, 0, 0.4, 1),
                zone("44444444-bbbb-4444-4444-444444444444", "Center", 0.4, 0, 0.35, 1),
                zone("44444444-cccc-4444-4444-444444444444", "Top Right", 0.75, 0, 0.25, 0.5),
                zone("44444444-dddd-4444-4444-444444444444", "Bottom Right", 0.75, 0.5, 0.25, 0.5),
            }},
        Layout{Uuid::fromLiteral(builtin::verticalRowsID),
               "Vertical Rows",
               {
                   zone("55555555-aaaa-5555-5555-555555555555", "Top", 0, 0, 1, third),
                   zone("55555555-bbbb-5555-5555-555555555555", "Middle", 0, third, 1, third),
                   zone("55555555-cccc-5555-5555-555555555555", "Bottom", 0, twoThirds, 1, third),
               }},
    };
}

const Uuid& stackHalfLayoutID() {
    static const Uuid id = Uuid::fromLiteral(builtin::stackHalfID);
    return id;
}

const Uuid& halfStackLayoutID() {
    static const Uuid id = Uuid::fromLiteral(builtin::halfStackID);
    return id;
}

const Uuid& verticalRowsLayoutID() {
    static const Uuid id = Uuid::fromLiteral(builtin::verticalRowsID);
    return id;
}

std::optional<Layout> builtInLayout(const Uuid& id) {
    for (auto& layout : builtInLayouts()) {
        if (layout.id == id) {
            return std::move(layout);
        }
    }
    return std::nullopt;
}

std::map<std::string, Uuid> defaultAssignments() {
    return {
        {"2560x1440", stackHalfLayoutID()},
        {"2560x1440px", stackHalfLayoutID()},
        {"3440x1440", halfStackLayoutID()},
        {"3440x1440px", halfStackLayoutID()},
    };
}

const std::vector<Uuid>& legacySeededIDs() {
    static const std::vector<Uuid> ids{
        Uuid::fromLiteral(builtin::stackHalfID),
        Uuid::fromLiteral(builtin::halfStackID),
        Uuid::fromLiteral(builtin::threeColumnsID),
        Uuid::fromLiteral(builtin::columnsStackID),
    };
    return ids;
}

std::vector<Uuid> builtInLayoutIDs() {
    std::vector<Uuid> ids;
    for (const auto& layout : builtInLayouts()) {
        ids.push_back(layout.id);
    }
    return ids;
}

const std::unordered_map<Uuid, std::string>& builtInNames() {
    static const auto names = [] {
        std::unordered_map<Uuid, std::string> map;
        const auto insert = [&map](const Uuid& id, const std::string& name) {
            if (!map.emplace(id, name).second) {
                // Two built-ins sharing an id would make names ambiguous: the table is wrong.
                std::abort();
            }
        };
        for (const auto& layout : builtInLayouts()) {
            insert(layout.id, layout.name);
            for (const auto& z : layout.zones) {
                insert(z.id, z.name);
            }
        }
        return map;
    }();
    return names;
}

const std::unordered_set<Uuid>& builtInIDs() {
    static const auto ids = [] {
        std::unordered_set<Uuid> set;
        for (const auto& [id, name] : builtInNames()) {
            set.insert(id);
        }
        return set;
    }();
    return ids;
}

} // namespace tessera
