#include "core/model/Json.h"

#include <gtest/gtest.h>

#include <limits>

using namespace tessera;

namespace {
const char* const zoneID = "11111111-AAAA-1111-1111-111111111111";

Zone sampleZone() {
    return Zone{Uuid::fromLiteral(zoneID), "Left", 0, 0.25, 0.5, 0.75, std::nullopt};
}

// A layouts document whose one zone is the good zone with `members` added or replaced.
std::string documentWith(const std::string& members, const std::string& extra = "") {
    return R"({"assignments": {"2560x1440": "22222222-2222-2222-2222-222222222222"},
               "layouts": [{"id": "22222222-2222-2222-2222-222222222222", "name": "L",
                            "zones": [{"id": "11111111-aaaa-1111-1111-111111111111", "name": "A",
                                       "y": 0, "width": 0.5, "height": 1)" +
           members + "}]}]" + extra + "}";
}

std::string shortcutWith(const std::string& members) {
    return R"(, "x": 0, "shortcut": {)" + members + "}";
}
} // namespace

// Full precision and shortcuts survive the layouts file (LayoutStoreTest) and backups (BackupTest).
TEST(RecordsJson, OptionalMembersAreWrittenOnlyWhenPresentAndStayAbsent) {
    const LayoutStorePayload payload{{Layout{Uuid::random(), "Mine", {sampleZone()}}}, {}, {}};
    const auto text = encodeJson(toJson(payload));
    EXPECT_EQ(text.find("shortcut"), std::string::npos) << text;
    EXPECT_EQ(text.find("seeded"), std::string::npos) << text;
    const auto decoded = decodePayload(text);
    ASSERT_TRUE(decoded) << decoded.error;
    EXPECT_EQ(*decoded.value, payload);
}

TEST(RecordsJson, AcceptsUnknownKeysLowerCaseIdsIntegralNumbersAndNulls) {
    const auto decoded = decodePayload(documentWith(
        R"(, "x": 0, "colour": "red",
            "shortcut": {"keyCode": 36.0, "carbonModifiers": 2304, "display": "x"})",
        R"(, "future": [1, 2, 3], "seeded": null)"));
    ASSERT_TRUE(decoded) << decoded.error;
    const auto& zone = decoded.value->layouts[0].zones[0];
    EXPECT_EQ(zone.id, Uuid::fromLiteral(zoneID));
    EXPECT_EQ(zone.shortcut->keyCode, 36u);
    EXPECT_FALSE(decoded.value->seeded);

    const auto nullShortcut = decodePayload(documentWith(R"(, "x": 0, "shortcut": null)"));
    ASSERT_TRUE(nullShortcut) << nullShortcut.error;
    EXPECT_FALSE(nullShortcut.value->layouts[0].zones[0].shortcut);
}

TEST(RecordsJson, AnyFaultMakesTheWholeDocumentUnreadable) {
    const std::vector<std::pair<const char*, std::string>> broken{
        {"missing x", documentWith("")},
        {"number as text", documentWith(R"(, "x": "0")")},
        {"number out of range", documentWith(R"(, "x": 1e400)")},
        {"malformed zone id", documentWith(R"(, "x": 0, "id": "11111111-aaaa-1111-1111")")},
        {"negative key code",
         documentWith(shortcutWith(R"("keyCode": -1, "carbonModifiers": 0, "display": "")"))},
        {"key code above 32 bits",
         documentWith(
             shortcutWith(R"("keyCode": 4294967296, "carbonModifiers": 0, "display": "")"))},
        {"fractional key code",
         documentWith(shortcutWith(R"("keyCode": 36.5, "carbonModifiers": 0, "display": "")"))},
        {"shortcut without display",
         documentWith(shortcutWith(R"("keyCode": 1, "carbonModifiers": 0)"))},
        {"malformed assignment", R"({"assignments": {"a": "nope"}, "layouts": []})"},
        {"seeded not a list", documentWith(R"(, "x": 0)", R"(, "seeded": {})")},
        {"no layouts", R"({"assignments": {}})"},
        {"invalid UTF-8", "{\"assignments\": {}, \"layouts\": [], \"x\": \"\xff\"}"},
    };
    for (const auto& [what, text] : broken) {
        const auto decoded = decodePayload(text);
        EXPECT_FALSE(decoded) << what;
        EXPECT_FALSE(decoded.error.empty()) << what;
    }
    EXPECT_TRUE(decodePayload(documentWith(R"(, "x": 0)"))) << "the control document must read";

    // A backup's layouts are decoded from their parsed form, where a measure may be infinite:
    // JSON can't write it back.
    auto infinite = toJson(sampleZone());
    infinite["x"] = std::numeric_limits<double>::infinity();
    EXPECT_THROW(zoneFromJson(infinite), DecodeError);
}
