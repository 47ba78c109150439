#include "core/model/Json.h"

#include <gtest/gtest.h>

#include <unordered_set>

using namespace tessera;
using nlohmann::json;

namespace {

const char* const zoneID = "11111111-AAAA-1111-1111-111111111111";

Zone sampleZone() {
    return Zone{Uuid::fromLiteral(zoneID), "Left", 0, 0.25, 0.5, 0.75, std::nullopt};
}

std::string documentWith(const std::string& zoneJson, const std::string& extra = "") {
    return R"({"assignments": {"2560x1440": "22222222-2222-2222-2222-222222222222"},
               "layouts": [{"id": "22222222-2222-2222-2222-222222222222", "name": "L",
                            "zones": [)" +
           zoneJson + "]}]" + extra + "}";
}

const std::string goodZone =
    R"({"id": "11111111-aaaa-1111-1111-111111111111", "name": "A", "x": 0, "y": 0,
        "width": 0.5, "height": 1})";

} // namespace

TEST(Uuid, ParsesEitherCaseAndWritesUpperCase) {
    const auto lower = Uuid::parse("abcdef01-2345-6789-abcd-ef0123456789");
    const auto upper = Uuid::parse("ABCDEF01-2345-6789-ABCD-EF0123456789");
    ASSERT_TRUE(lower && upper);
    EXPECT_EQ(*lower, *upper);
    EXPECT_EQ(lower->string(), "ABCDEF01-2345-6789-ABCD-EF0123456789");
}

TEST(Uuid, RejectsMalformedText) {
    for (const char* text :
         {"", "abcdef01-2345-6789-abcd-ef012345678", "abcdef01-2345-6789-abcd-ef01234567890",
          "abcdef0112345-6789-abcd-ef0123456789", "abcdef01-2345-6789-abcd-ef012345678g",
          "{bcdef01-2345-6789-abcd-ef0123456789", "abcdef01-2345-6789-abcd--f0123456789"}) {
        EXPECT_FALSE(Uuid::parse(text)) << text;
    }
}

TEST(Uuid, RandomIdentifiersAreVersionFourAndDistinct) {
    std::unordered_set<Uuid> seen;
    for (int i = 0; i < 100; ++i) {
        const auto id = Uuid::random();
        EXPECT_EQ(id.string()[14], '4');
        EXPECT_NE(std::string("89AB").find(id.string()[19]), std::string::npos);
        seen.insert(id);
    }
    EXPECT_EQ(seen.size(), 100u);
}

TEST(Records, EqualityAndHashingCoverEveryField) {
    const KeyCombo a{123, carbon::controlKey | carbon::optionKey, "⌃⌥←"};
    KeyCombo b = a;
    b.display = "Ctrl+Alt+Left";
    EXPECT_NE(a, b) << "records compare their display text";
    EXPECT_TRUE(sameCombination(a, b)) << "key combinations ignore it";

    Zone z1 = sampleZone();
    Zone z2 = z1;
    EXPECT_EQ(std::hash<Zone>{}(z1), std::hash<Zone>{}(z2));
    z2.shortcut = a;
    EXPECT_NE(z1, z2);
    z1.x = -0.0;
    z2 = z1;
    z2.x = 0.0;
    EXPECT_EQ(z1, z2);
    EXPECT_EQ(std::hash<Zone>{}(z1), std::hash<Zone>{}(z2)) << "equal values must hash equally";
}

TEST(RecordsJson, ZoneShortcutIsWrittenOnlyWhenPresentAndNullReadsAsAbsent) {
    auto zone = sampleZone();
    auto written = toJson(zone);
    EXPECT_FALSE(written.contains("shortcut"));
    EXPECT_EQ(written["id"], zoneID);

    zone.shortcut = KeyCombo{36, 0x900, "⌥⌘↩"};
    written = toJson(zone);
    EXPECT_EQ(written["shortcut"]["keyCode"], 36);
    EXPECT_EQ(written["shortcut"]["carbonModifiers"], 0x900);
    EXPECT_EQ(zoneFromJson(written), zone);

    written["shortcut"] = nullptr;
    EXPECT_FALSE(zoneFromJson(written).shortcut);
}

TEST(RecordsJson, PayloadRoundTripsAndSeededStaysAbsentWhenMissing) {
    LayoutStorePayload payload;
    payload.layouts.push_back(Layout{Uuid::random(), "Mine", {sampleZone()}});
    payload.assignments["5120x2880px|Desk"] = payload.layouts[0].id;
    auto decoded = decodePayload(encodeJson(toJson(payload)));
    ASSERT_TRUE(decoded) << decoded.error;
    EXPECT_EQ(*decoded.value, payload);
    EXPECT_FALSE(decoded.value->seeded);

    payload.seeded = std::vector<Uuid>{payload.layouts[0].id};
    decoded = decodePayload(encodeJson(toJson(payload)));
    ASSERT_TRUE(decoded) << decoded.error;
    EXPECT_EQ(*decoded.value, payload);
}

TEST(RecordsJson, EncodedTextHasSortedKeysAndFullPrecision) {
    Zone zone = sampleZone();
    zone.width = 1.0 / 3.0;
    const auto text = encodeJson(toJson(zone));
    EXPECT_LT(text.find("\"height\""), text.find("\"id\""));
    EXPECT_LT(text.find("\"id\""), text.find("\"name\""));
    EXPECT_LT(text.find("\"width\""), text.find("\"x\""));
    const auto decoded = zoneFromJson(json::parse(text));
    EXPECT_EQ(decoded.width, 1.0 / 3.0) << "doubles must survive a round trip bit for bit";
}

TEST(RecordsJson, AcceptsUnknownKeysLowerCaseIdsAndIntegralNumbers) {
    const auto decoded = decodePayload(documentWith(
        R"({"id": "11111111-aaaa-1111-1111-111111111111", "name": "A", "x": 0, "y": 0,
            "width": 1, "height": 1, "colour": "red",
            "shortcut": {"keyCode": 36.0, "carbonModifiers": 2304, "display": "x"}})",
        R"(, "future": [1, 2, 3], "seeded": null)"));
    ASSERT_TRUE(decoded) << decoded.error;
    const auto& zone = decoded.value->layouts[0].zones[0];
    EXPECT_EQ(zone.id, Uuid::fromLiteral(zoneID));
    EXPECT_EQ(zone.shortcut->keyCode, 36u);
    EXPECT_FALSE(decoded.value->seeded);
}

TEST(RecordsJson, AnyFaultMakesTheWholeDocumentUnreadable) {
    const std::vector<std::pair<const char*, std::string>> broken{
        {"missing height", documentWith(R"({"id": "11111111-aaaa-1111-1111-111111111111",
                                             "name": "A", "x": 0, "y": 0, "width": 1})")},
        {"number as text", documentWith(R"({"id": "11111111-aaaa-1111-1111-111111111111",
                                             "name": "A", "x": "0", "y": 0, "width": 1,
                                             "height": 1})")},
        {"malformed zone id", documentWith(R"({"id": "11111111-aaaa-1111-1111", "name": "A",
                                             "x": 0, "y": 0, "width": 1, "height": 1})")},
        {"name is null", documentWith(R"({"id": "11111111-aaaa-1111-1111-111111111111",
                                          "name": null, "x": 0, "y": 0, "width": 1,
                                          "height": 1})")},
        {"negative key code",
         documentWith(R"({"id": "11111111-aaaa-1111-1111-111111111111", "name": "A", "x": 0,
                          "y": 0, "width": 1, "height": 1,
                          "shortcut": {"keyCode": -1, "carbonModifiers": 0, "display": ""}})")},
        {"key code above 32 bits",
         documentWith(R"({"id": "11111111-aaaa-1111-1111-111111111111", "name": "A", "x": 0,
                          "y": 0, "width": 1, "height": 1,
                          "shortcut": {"keyCode": 4294967296, "carbonModifiers": 0,
                                       "display": ""}})")},
        {"fractional modifiers",
         documentWith(R"({"id": "11111111-aaaa-1111-1111-111111111111", "name": "A", "x": 0,
                          "y": 0, "width": 1, "height": 1,
                          "shortcut": {"keyCode": 1, "carbonModifiers": 0.5,
                                       "display": ""}})")},
        {"shortcut without display",
         documentWith(R"({"id": "11111111-aaaa-1111-1111-111111111111", "name": "A", "x": 0,
                          "y": 0, "width": 1, "height": 1,
                          "shortcut": {"keyCode": 1, "carbonModifiers": 0}})")},
        {"number out of range", documentWith(R"({"id": "11111111-aaaa-1111-1111-111111111111",
                                                 "name": "A", "x": 1e400, "y": 0, "width": 1,
                                                 "height": 1})")},
        {"malformed assignment", R"({"assignments": {"a": "nope"}, "layouts": []})"},
        {"malformed seeded id", documentWith(goodZone, R"(, "seeded": ["x"])")},
        {"seeded not a list", documentWith(goodZone, R"(, "seeded": {})")},
        {"no assignments", R"({"layouts": []})"},
        {"no layouts", R"({"assignments": {}})"},
        {"not an object", "[]"},
        {"truncated", "{\"layouts\": ["},
        {"invalid UTF-8", "{\"assignments\": {}, \"layouts\": [], \"x\": \"\xff\"}"},
    };
    for (const auto& [what, text] : broken) {
        const auto decoded = decodePayload(text);
        EXPECT_FALSE(decoded) << what;
        EXPECT_FALSE(decoded.error.empty()) << what;
    }
    EXPECT_TRUE(decodePayload(documentWith(goodZone))) << "the control document must read";
}
