#include "core/store/BuiltInLayouts.h"

#include <gtest/gtest.h>

#include <set>

using namespace tessera;

// The built-in ids, names and coordinates are stored in users' files and backups, so they are
// checked as data: a changed value would orphan what users saved.
TEST(BuiltInLayoutsTest, FiveLayoutsWithTheirStoredIdsNamesAndExactZones) {
    struct Expected {
        const char* id;
        const char* name;
        std::vector<std::tuple<const char*, double, double, double, double>> zones;
    };
    // One third and two thirds must be the nearest doubles, compared bit for bit.
    const double third = 1.0 / 3.0, twoThirds = 2.0 / 3.0;
    const Expected expected[] = {
        {"11111111-1111-1111-1111-111111111111",
         "Stack + Half",
         {{"Top Left", 0, 0, 0.5, 0.5},
          {"Bottom Left", 0, 0.5, 0.5, 0.5},
          {"Right", 0.5, 0, 0.5, 1}}},
        {"22222222-2222-2222-2222-222222222222",
         "Half + Stack",
         {{"Left", 0, 0, 0.5, 1},
          {"Top Right", 0.5, 0, 0.5, 0.5},
          {"Bottom Right", 0.5, 0.5, 0.5, 0.5}}},
        {"33333333-3333-3333-3333-333333333333",
         "Three Columns",
         {{"Left", 0, 0, third, 1},
          {"Center", third, 0, third, 1},
          {"Right", twoThirds, 0, third, 1}}},
        {"44444444-4444-4444-4444-444444444444",
         "Columns + Stack",
         {{"Left", 0, 0, 0.4, 1},
          {"Center", 0.4, 0, 0.35, 1},
          {"Top Right", 0.75, 0, 0.25, 0.5},
          {"Bottom Right", 0.75, 0.5, 0.25, 0.5}}},
        {"55555555-5555-5555-5555-555555555555",
         "Vertical Rows",
         {{"Top", 0, 0, 1, third},
          {"Middle", 0, third, 1, third},
          {"Bottom", 0, twoThirds, 1, third}}},
    };
    const auto layouts = builtInLayouts();
    ASSERT_EQ(layouts.size(), std::size(expected));
    std::set<Uuid> ids;
    for (std::size_t i = 0; i < layouts.size(); ++i) {
        const auto& layout = layouts[i];
        EXPECT_EQ(layout.id, Uuid::fromLiteral(expected[i].id));
        EXPECT_EQ(layout.name, expected[i].name);
        EXPECT_EQ(builtInNames().at(layout.id), layout.name);
        EXPECT_TRUE(ids.insert(layout.id).second);
        ASSERT_EQ(layout.zones.size(), expected[i].zones.size()) << layout.name;
        for (std::size_t z = 0; z < layout.zones.size(); ++z) {
            const auto& zone = layout.zones[z];
            const auto& [name, x, y, width, height] = expected[i].zones[z];
            EXPECT_EQ(zone.name, name);
            EXPECT_EQ(builtInNames().at(zone.id), zone.name);
            EXPECT_EQ((std::array{zone.x, zone.y, zone.width, zone.height}),
                      (std::array{x, y, width, height}))
                << layout.name << " / " << name;
            EXPECT_FALSE(zone.shortcut.has_value());
            EXPECT_TRUE(ids.insert(zone.id).second) << zone.id.string();
        }
    }
    EXPECT_EQ(std::set<Uuid>(builtInIDs().begin(), builtInIDs().end()), ids);
    EXPECT_EQ(builtInLayout(layouts[3].id), layouts[3]);
    EXPECT_EQ(builtInLayout(layouts[3].zones[0].id), std::nullopt);
    // Zone ids follow the layout's pattern; files spell them in upper case.
    EXPECT_EQ(builtInNames().at(*Uuid::parse("44444444-DDDD-4444-4444-444444444444")),
              "Bottom Right");

    // Older versions seeded the first four; the two wide displays get their own defaults.
    EXPECT_EQ(legacySeededIDs(),
              (std::vector<Uuid>{layouts[0].id, layouts[1].id, layouts[2].id, layouts[3].id}));
    EXPECT_EQ(defaultAssignments(), (std::map<std::string, Uuid>{
                                        {"2560x1440", layouts[0].id},
                                        {"2560x1440px", layouts[0].id},
                                        {"3440x1440", layouts[1].id},
                                        {"3440x1440px", layouts[1].id},
                                    }));
}
