#include "core/store/LayoutStore.h"
#include "TempDir.h"
#include "core/model/Json.h"
#include "core/store/BuiltInLayouts.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

using namespace tessera;
using ::testing::HasSubstr;
namespace fs = std::filesystem;
using test::readTestFile;
using test::writeTestFile;

namespace {
ScreenInfo screen(const std::string& name, std::int64_t pointWidth, std::int64_t pointHeight,
                  double scale) {
    ScreenInfo info;
    info.name = name;
    info.pointWidth = pointWidth;
    info.pointHeight = pointHeight;
    info.scale = scale;
    info.pixelWidth = static_cast<std::int64_t>(static_cast<double>(pointWidth) * scale);
    info.pixelHeight = static_cast<std::int64_t>(static_cast<double>(pointHeight) * scale);
    return info;
}

Layout userLayout(const std::string& name, std::vector<Zone> zones = {}) {
    return Layout{Uuid::random(), name, std::move(zones)};
}

std::vector<Uuid> ids(const std::vector<Layout>& layouts) {
    std::vector<Uuid> result;
    for (const auto& layout : layouts) {
        result.push_back(layout.id);
    }
    return result;
}

const Uuid threeColumnsID = Uuid::fromLiteral(builtin::threeColumnsID);

Zone zoneWithShortcut(const std::string& name, std::uint32_t keyCode, std::uint32_t modifiers,
                      const std::string& display) {
    return Zone{Uuid::random(), name, 0, 0, 0.5, 1, KeyCombo{keyCode, modifiers, display}};
}

class LayoutStoreTest : public ::testing::Test {
protected:
    LayoutStorePayload filePayload() const {
        auto decoded = decodePayload(readTestFile(file));
        EXPECT_TRUE(decoded) << decoded.error;
        return decoded.value.value_or(LayoutStorePayload{});
    }
    // A document as an earlier version wrote it, without "seeded".
    void writeWithout(const std::vector<Layout>& layouts,
                      const std::optional<std::vector<Uuid>>& seeded = std::nullopt) {
        writeTestFile(
            file, encodeJson(toJson(LayoutStorePayload{layouts, defaultAssignments(), seeded})));
    }

    test::TempDir temp{"tessera-store"};
    fs::path root = temp.path();
    fs::path file = root / "Tessera" / "layouts.json";
};

// "seeded" lists the built-ins ever offered: a file of an earlier version gets the ones it never
// had once, a deleted one stays deleted, and the file is only written when that list changed.
TEST_F(LayoutStoreTest, EachBuiltInIsOfferedOnce) {
    auto older = builtInLayouts();
    older.pop_back();
    older[0].name = "27″ Browser & Telegram";
    writeWithout(older);
    {
        LayoutStore store(file);
        ASSERT_EQ(store.layouts().size(), 5U);
        EXPECT_EQ(store.layouts()[0].name, "27″ Browser & Telegram");
        EXPECT_EQ(store.layouts()[4], builtInLayouts()[4]);
        EXPECT_EQ(filePayload().seeded, builtInLayoutIDs());
        EXPECT_EQ(filePayload().layouts, store.layouts());
        store.deleteLayout(verticalRowsLayoutID());
    }
    const auto before = readTestFile(file);
    EXPECT_EQ(ids(LayoutStore(file).layouts()), ids(older));
    EXPECT_EQ(readTestFile(file), before);

    // Present under a name of the user's own but not yet offered: nothing is appended.
    auto layouts = builtInLayouts();
    layouts[4].name = "My rows";
    writeWithout(layouts);
    const LayoutStore store(file);
    EXPECT_EQ(store.layouts(), layouts);
    EXPECT_EQ(filePayload().seeded, builtInLayoutIDs());
}

TEST_F(LayoutStoreTest, AnUnreadableFileIsKeptAsACopyAndNeverReplacedWithoutOne) {
    writeTestFile(file, "{\"layouts\": [");
    const LayoutStore recovered(file);
    ASSERT_TRUE(recovered.recovery());
    EXPECT_FALSE(recovered.recovery()->reason.empty());
    const auto copy = recovered.recovery()->keptCopy;
    EXPECT_EQ(copy.parent_path(), file.parent_path());
    EXPECT_EQ(readTestFile(copy), "{\"layouts\": [");
    EXPECT_EQ(filePayload().layouts, builtInLayouts());

    // A name so long that the copy's name ("<name>.unreadable-<time>") exceeds what the file
    // system allows, while the file itself stays writable.
    file = root / "Tessera" / (std::string(230, 'l') + ".json");
    writeTestFile(file, "not json at all");
    LayoutStore store(file);
    EXPECT_EQ(store.layouts(), builtInLayouts());
    ASSERT_TRUE(store.recovery());
    EXPECT_TRUE(store.recovery()->keptCopy.empty());
    EXPECT_FALSE(store.recovery()->copyError.empty());
    EXPECT_THAT(store.lastSaveError(), HasSubstr(file.string()));
    store.upsert(userLayout("Mine"));
    EXPECT_FALSE(store.save());
    EXPECT_EQ(readTestFile(file), "not json at all");
    EXPECT_EQ(store.layouts().back().name, "Mine");
}

TEST_F(LayoutStoreTest, TheDefaultFileTakesOverOlderFoldersOnce) {
    UserFolders folders{root / "home", root / "data", root / "config", root / "tmp", std::nullopt};
    const auto container = root / "home" / "Library" / "Containers" / "app.tessera.Tessera" /
                           "Data" / "Library" / "Application Support" / "Tessera";
    // The former folder is moved.
    writeTestFile(root / "data" / "Mosaicor" / "layouts.json", "old");
    auto url = LayoutStore::defaultFileURL(folders, "app.tessera.Tessera");
    EXPECT_EQ(url, root / "data" / "Tessera" / "layouts.json");
    EXPECT_EQ(readTestFile(url), "old");
    EXPECT_FALSE(fs::exists(root / "data" / "Mosaicor"));

    // The container's folder is copied and left in place.
    folders.applicationSupport = root / "data2";
    writeTestFile(container / "layouts.json", "from the container");
    writeTestFile(container / "Backups" / "one.json", "backup");
    url = LayoutStore::defaultFileURL(folders, "app.tessera.Tessera");
    EXPECT_EQ(readTestFile(url), "from the container");
    EXPECT_EQ(readTestFile(url.parent_path() / "Backups" / "one.json"), "backup");
    EXPECT_TRUE(fs::exists(container / "layouts.json"));

    // An existing folder is kept as it is; without a data folder the temporary one stands in.
    folders.applicationSupport.reset();
    writeTestFile(root / "tmp" / "Tessera" / "layouts.json", "current");
    writeTestFile(root / "tmp" / "Mosaicor" / "layouts.json", "old");
    url = LayoutStore::defaultFileURL(folders, "app.tessera.Tessera");
    EXPECT_EQ(url, root / "tmp" / "Tessera" / "layouts.json");
    EXPECT_EQ(readTestFile(url), "current");
    EXPECT_EQ(readTestFile(root / "tmp" / "Mosaicor" / "layouts.json"), "old");
}

TEST_F(LayoutStoreTest, AssignmentKeysAreTriedMostSpecificFirst) {
    const auto display = screen("Desk", 2560, 1440, 2);
    const auto layouts = builtInLayouts();
    std::map<std::string, Uuid> assignments{{"2560x1440|Desk", layouts[2].id},
                                            {"5120x2880px", layouts[3].id},
                                            {"5120x2880px|Desk", Uuid::random()}};
    // The most specific key names a layout that no longer exists: the next one decides.
    EXPECT_EQ(LayoutStore::resolveLayout(display, layouts, assignments)->id, layouts[2].id);
    assignments.erase("2560x1440|Desk");
    EXPECT_EQ(LayoutStore::resolveLayout(display, layouts, assignments)->id, layouts[3].id);
    assignments["5120x2880px|Desk"] = layouts[4].id;
    EXPECT_EQ(LayoutStore::resolveLayout(display, layouts, assignments)->id, layouts[4].id);
    EXPECT_FALSE(LayoutStore::resolveLayout(screen("Desk", 1920, 1080, 1), {}, {}));

    // Assigning stores the pixel size with the name.
    LayoutStore store(file);
    store.assign(threeColumnsID, display);
    EXPECT_EQ(filePayload().assignments.at("5120x2880px|Desk"), threeColumnsID);
    EXPECT_EQ(store.layoutFor(screen("Other", 2560, 1440, 2)).id, stackHalfLayoutID());
    EXPECT_EQ(store.layoutFor(screen("Desk", 2560, 1440, 1)).id, stackHalfLayoutID());
    const std::vector<ScreenInfo> displays{display, screen("Other", 2560, 1440, 2), display};
    EXPECT_EQ(store.screensUsing(threeColumnsID, displays),
              (std::vector<ScreenInfo>{display, display}));
}

TEST_F(LayoutStoreTest, DefaultsResolveByPointsOrPixelsAndOrientation) {
    LayoutStore store(file);
    const auto& stackHalf = stackHalfLayoutID();
    const auto& halfStack = halfStackLayoutID();
    EXPECT_EQ(store.layoutFor(screen("Studio", 2560, 1440, 2)).id, stackHalf);
    EXPECT_EQ(store.layoutFor(screen("Monitor", 2560, 1440, 1)).id, stackHalf);
    EXPECT_EQ(store.layoutFor(screen("Wide", 3440, 1440, 1)).id, halfStack);
    // The same without the stored default assignments, as after they were removed.
    EXPECT_EQ(LayoutStore::resolveLayout(screen("Wide", 3440, 1440, 1), builtInLayouts(), {})->id,
              halfStack);
    EXPECT_EQ(store.layoutFor(screen("Portrait", 1440, 2560, 1)).id, verticalRowsLayoutID());
    // Portrait is strictly narrower than tall: a square display is not.
    EXPECT_EQ(store.layoutFor(screen("Square", 1920, 1920, 1)).id, stackHalf);

    // Without Vertical Rows a portrait display falls through to the size rules, then to the
    // first layout (Half + Stack once Stack + Half is gone too).
    store.deleteLayout(verticalRowsLayoutID());
    store.deleteLayout(stackHalf);
    EXPECT_EQ(store.layoutFor(screen("Portrait", 1440, 2560, 1)).id, halfStack);
    // A deleted Stack + Half still serves the wide display, as a fresh copy that isn't listed,
    // and its default keys are gone.
    const auto layout = store.layoutFor(screen("Studio", 2560, 1440, 2));
    EXPECT_EQ(layout, *builtInLayout(stackHalf));
    EXPECT_EQ(std::ranges::count(ids(store.layouts()), layout.id), 0);
    EXPECT_FALSE(store.assignments().contains("2560x1440"));
    EXPECT_FALSE(store.assignments().contains("2560x1440px"));
}

TEST_F(LayoutStoreTest, DeletingTheLastLayoutOrRestoringBringsBackTheBuiltIns) {
    LayoutStore store(file);
    const auto mine = userLayout("Mine");
    store.upsert(mine);
    store.assign(mine.id, screen("Desk", 1920, 1080, 1));
    for (const auto& id : builtInLayoutIDs()) {
        store.deleteLayout(id);
    }
    ASSERT_EQ(store.layouts().size(), 1U);
    EXPECT_EQ(store.assignments().size(), 1U);
    store.deleteLayout(mine.id);
    EXPECT_EQ(store.layouts(), builtInLayouts());
    EXPECT_EQ(store.assignments(), defaultAssignments());
    EXPECT_EQ(filePayload().layouts, builtInLayouts());

    store.upsert(userLayout("Mine"));
    store.deleteLayout(verticalRowsLayoutID());
    store.assign(threeColumnsID, screen("Desk", 1920, 1080, 1));
    store.restoreBuiltIns();
    EXPECT_EQ(store.layouts(), builtInLayouts());
    EXPECT_EQ(store.assignments(), defaultAssignments());
    EXPECT_EQ(filePayload().seeded, builtInLayoutIDs());
}

// Listeners hear of a change before it shows, while the old state can still be read.
TEST_F(LayoutStoreTest, FirstLaunchWritesTheBuiltInsAndEachChangeIsAnnouncedThenSaved) {
    LayoutStore store(file);
    EXPECT_FALSE(store.recovery());
    EXPECT_EQ(filePayload(),
              (LayoutStorePayload{builtInLayouts(), defaultAssignments(), builtInLayoutIDs()}));
    const auto text = readTestFile(file);
    EXPECT_EQ(text, encodeJson(nlohmann::json::parse(text)));

    int notified = 0;
    std::size_t countSeen = 0;
    const auto connection = store.onWillChange([&] {
        ++notified;
        countSeen = store.layouts().size();
    });
    auto changed = store.layouts()[1];
    changed.name = "Renamed";
    changed.zones.pop_back();
    store.upsert(changed);
    const auto added = userLayout("New", {zoneWithShortcut("Z", 36, carbon::cmdKey, "⌘↩")});
    store.upsert(added);
    EXPECT_EQ(notified, 2);
    EXPECT_EQ(countSeen, 5U); // the old list, not yet the new one
    ASSERT_EQ(store.layouts().size(), 6U);
    EXPECT_EQ(store.layouts()[1], changed);
    EXPECT_EQ(store.layouts()[5], added);
    EXPECT_EQ(LayoutStore(file).layouts(), store.layouts());

    store.assign(threeColumnsID, screen("Desk", 1920, 1080, 1));
    EXPECT_EQ(notified, 3);
    store.deleteLayout(threeColumnsID);
    EXPECT_EQ(notified, 5);
    store.restoreBuiltIns();
    EXPECT_EQ(notified, 7);
}

TEST_F(LayoutStoreTest, ReadsIdsInEitherCaseAndWritesThemUpperCaseAndSorted) {
    // Lower-case ids, "seeded" out of order and lacking Vertical Rows so the file is rewritten.
    writeTestFile(file,
                  R"({"layouts": [{"id": "abcdef01-2345-6789-abcd-ef0123456789", "name": "Mine",
                    "zones": []}],
                    "assignments": {"5120x2880px|Desk": "abcdef01-2345-6789-ABCD-ef0123456789"},
                    "seeded": ["ffffffff-0000-0000-0000-000000000000",
                               "44444444-4444-4444-4444-444444444444",
                               "11111111-1111-1111-1111-111111111111",
                               "33333333-3333-3333-3333-333333333333",
                               "22222222-2222-2222-2222-222222222222"]})");
    const LayoutStore store(file);
    const auto mine = Uuid::fromLiteral("ABCDEF01-2345-6789-ABCD-EF0123456789");
    EXPECT_EQ(store.layoutFor(screen("Desk", 2560, 1440, 2)).id, mine);
    const auto text = readTestFile(file);
    EXPECT_EQ(text.find("abcdef"), std::string::npos);
    EXPECT_EQ(
        nlohmann::json::parse(text).at("seeded"),
        nlohmann::json(
            {"11111111-1111-1111-1111-111111111111", "22222222-2222-2222-2222-222222222222",
             "33333333-3333-3333-3333-333333333333", "44444444-4444-4444-4444-444444444444",
             "55555555-5555-5555-5555-555555555555", "FFFFFFFF-0000-0000-0000-000000000000"}));
}

TEST_F(LayoutStoreTest, ZonesUsingComparesKeyAndModifiersOnly) {
    LayoutStore store(file);
    const auto first = zoneWithShortcut("A", 18, carbon::cmdKey | carbon::optionKey, "⌥⌘1");
    const auto sameKeyOtherText = zoneWithShortcut("B", 18, carbon::cmdKey | carbon::optionKey, "");
    const auto otherModifiers = zoneWithShortcut("C", 18, carbon::cmdKey, "⌘1");
    store.upsert(userLayout("One", {first, otherModifiers}));
    store.upsert(userLayout("Two", {sameKeyOtherText}));

    const auto found = store.zonesUsing(18, carbon::cmdKey | carbon::optionKey, std::nullopt);
    ASSERT_EQ(found.size(), 2U);
    EXPECT_EQ(found[0].first.name, "One");
    EXPECT_EQ(found[0].second, first);
    EXPECT_EQ(found[1].second, sameKeyOtherText);
    const auto skipping = store.zonesUsing(18, carbon::cmdKey | carbon::optionKey, first.id);
    ASSERT_EQ(skipping.size(), 1U);
    EXPECT_EQ(skipping[0].second.id, sameKeyOtherText.id);
}

TEST_F(LayoutStoreTest, ApplyReplacesTheStateButAnEmptyListChangesNothing) {
    LayoutStore store(file);
    store.upsert(userLayout("Mine"));
    const auto before = readTestFile(file);
    const auto payload = store.payload();
    int notified = 0;
    const auto connection = store.onWillChange([&] { ++notified; });
    store.apply(LayoutStorePayload{{}, {{"1x1", threeColumnsID}}, std::vector<Uuid>{}});
    EXPECT_EQ(notified, 0);
    EXPECT_EQ(store.payload(), payload);
    EXPECT_EQ(readTestFile(file), before);

    // A backup of an earlier version: its lists are taken and Vertical Rows offered once.
    const auto restored = userLayout("From backup");
    store.apply(LayoutStorePayload{{restored}, {{"1x1", restored.id}}, std::nullopt});
    EXPECT_EQ(ids(store.layouts()), (std::vector<Uuid>{restored.id, verticalRowsLayoutID()}));
    EXPECT_EQ(store.assignments().at("1x1"), restored.id);
    EXPECT_EQ(filePayload(), store.payload());
    EXPECT_EQ(store.payload().seeded, builtInLayoutIDs());
}
} // namespace
