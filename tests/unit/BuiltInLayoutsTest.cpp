#include "core/store/BuiltInLayouts.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace tessera;

namespace {

const Zone* findZone(const std::vector<Layout>& layouts, const char* id) {
    const auto wanted = Uuid::fromLiteral(id);
    for (const auto& layout : layouts) {
        for (const auto& zone : layout.zones) {
            if (zone.id == wanted) {
                return &zone;
            }
        }
    }
    return nullptr;
}

} // namespace

TEST(BuiltInLayoutsTest, FiveLayoutsInTheirOrder) {
    const auto layouts = builtInLayouts();
    ASSERT_EQ(layouts.size(), 5u);
    const std::pair<const char*, const char*> expected[] = {
        {"11111111-1111-1111-1111-111111111111", "Stack + Half"},
        {"22222222-2222-2222-2222-222222222222", "Half + Stack"},
        {"33333333-3333-3333-3333-333333333333", "Three Columns"},
        {"44444444-4444-4444-4444-444444444444", "Columns + Stack"},
        {"55555555-5555-5555-5555-555555555555", "Vertical Rows"},
    };
    const std::size_t zoneCounts[] = {3, 3, 3, 4, 3};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(layouts[i].id, Uuid::fromLiteral(expected[i].first));
        EXPECT_EQ(layouts[i].name, expected[i].second);
        EXPECT_EQ(layouts[i].zones.size(), zoneCounts[i]);
    }
    EXPECT_EQ(builtInLayoutIDs(), (std::vector<Uuid>{layouts[0].id, layouts[1].id, layouts[2].id,
                                                     layouts[3].id, layouts[4].id}));
    // Fresh equal values on every call; a lookup gives the same value.
    EXPECT_EQ(builtInLayouts(), layouts);
    EXPECT_EQ(builtInLayout(layouts[3].id), layouts[3]);
    EXPECT_EQ(builtInLayout(layouts[3].zones[0].id), std::nullopt);
    EXPECT_EQ(builtInLayout(Uuid::random()), std::nullopt);
}

TEST(BuiltInLayoutsTest, ZonesHaveExactCoordinates) {
    const auto layouts = builtInLayouts();
    struct Expected {
        const char* id;
        const char* name;
        double x, y, width, height;
    };
    // One third and two thirds must be the nearest doubles, compared bit for bit.
    const Expected zones[] = {
        {"11111111-bbbb-1111-1111-111111111111", "Bottom Left", 0, 0.5, 0.5, 0.5},
        {"22222222-cccc-2222-2222-222222222222", "Bottom Right", 0.5, 0.5, 0.5, 0.5},
        {"33333333-bbbb-3333-3333-333333333333", "Center", 1.0 / 3.0, 0, 1.0 / 3.0, 1},
        {"33333333-cccc-3333-3333-333333333333", "Right", 2.0 / 3.0, 0, 1.0 / 3.0, 1},
        {"44444444-bbbb-4444-4444-444444444444", "Center", 0.4, 0, 0.35, 1},
        {"44444444-dddd-4444-4444-444444444444", "Bottom Right", 0.75, 0.5, 0.25, 0.5},
        {"55555555-bbbb-5555-5555-555555555555", "Middle", 0, 1.0 / 3.0, 1, 1.0 / 3.0},
        {"55555555-cccc-5555-5555-555555555555", "Bottom", 0, 2.0 / 3.0, 1, 1.0 / 3.0},
    };
    for (const auto& expected : zones) {
        const auto* zone = findZone(layouts, expected.id);
        ASSERT_NE(zone, nullptr) << expected.id;
        EXPECT_EQ(zone->name, expected.name);
        EXPECT_EQ(zone->x, expected.x) << expected.id;
        EXPECT_EQ(zone->y, expected.y) << expected.id;
        EXPECT_EQ(zone->width, expected.width) << expected.id;
        EXPECT_EQ(zone->height, expected.height) << expected.id;
    }

    // Each built-in tiles the free area exactly once, without shortcuts.
    for (const auto& layout : layouts) {
        double area = 0;
        for (const auto& zone : layout.zones) {
            EXPECT_FALSE(zone.shortcut.has_value());
            EXPECT_GE(zone.x, 0);
            EXPECT_GE(zone.y, 0);
            EXPECT_LE(zone.x + zone.width, 1 + 1e-12);
            EXPECT_LE(zone.y + zone.height, 1 + 1e-12);
            area += zone.width * zone.height;
        }
        EXPECT_NEAR(area, 1, 1e-12) << layout.name;
    }
}

TEST(BuiltInLayoutsTest, NamesAndIdsOfEveryBuiltIn) {
    const auto& names = builtInNames();
    EXPECT_EQ(names.size(), 21u);
    std::set<Uuid> ids;
    for (const auto& layout : builtInLayouts()) {
        EXPECT_TRUE(ids.insert(layout.id).second);
        EXPECT_EQ(names.at(layout.id), layout.name);
        for (const auto& zone : layout.zones) {
            EXPECT_TRUE(ids.insert(zone.id).second) << zone.id.string();
            EXPECT_EQ(names.at(zone.id), zone.name);
        }
    }
    EXPECT_EQ(ids.size(), 21u);
    EXPECT_EQ(std::set<Uuid>(builtInIDs().begin(), builtInIDs().end()), ids);

    std::multiset<std::string> zoneNames;
    for (const auto& [id, name] : names) {
        zoneNames.insert(name);
    }
    EXPECT_EQ(zoneNames, (std::multiset<std::string>{
                             "Stack + Half",  "Half + Stack", "Three Columns", "Columns + Stack",
                             "Vertical Rows", "Top Left",     "Bottom Left",   "Right",
                             "Left",          "Top Right",    "Bottom Right",  "Left",
                             "Center",        "Right",        "Left",          "Center",
                             "Top Right",     "Bottom Right", "Top",           "Middle",
                             "Bottom"}));
}

TEST(BuiltInLayoutsTest, IdsCompareRegardlessOfCase) {
    // Files are written in upper case; the program spells its ids in lower case.
    const auto upper = Uuid::parse("44444444-DDDD-4444-4444-444444444444");
    ASSERT_TRUE(upper.has_value());
    EXPECT_EQ(Uuid::fromLiteral("44444444-dddd-4444-4444-444444444444"), *upper);
    EXPECT_EQ(builtInNames().at(*upper), "Bottom Right");
    EXPECT_EQ(builtInLayout(*Uuid::parse("22222222-2222-2222-2222-222222222222"))->name,
              "Half + Stack");
    EXPECT_EQ(Uuid::fromLiteral("11111111-aaaa-1111-1111-111111111111").string(),
              "11111111-AAAA-1111-1111-111111111111");
}

TEST(BuiltInLayoutsTest, SeededSetAndDefaultAssignments) {
    const auto ids = builtInLayoutIDs();
    EXPECT_EQ(legacySeededIDs(), (std::vector<Uuid>{ids[0], ids[1], ids[2], ids[3]}));
    EXPECT_EQ(verticalRowsLayoutID(), ids[4]);

    EXPECT_EQ(defaultAssignments(), (std::map<std::string, Uuid>{
                                        {"2560x1440", stackHalfLayoutID()},
                                        {"2560x1440px", stackHalfLayoutID()},
                                        {"3440x1440", halfStackLayoutID()},
                                        {"3440x1440px", halfStackLayoutID()},
                                    }));
    EXPECT_EQ(stackHalfLayoutID(), ids[0]);
    EXPECT_EQ(halfStackLayoutID(), ids[1]);
}
