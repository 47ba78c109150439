#include "core/ui/IgnoredAppsList.h"

#include "core/app/Preferences.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessera {
namespace {

using List = std::vector<std::string>;

TEST(IgnoredAppsListTest, AddingAppendsEachNewIdentifierOnceInOrder) {
    EXPECT_EQ(addingIgnoredApps({"org.gnome.Terminal"}, {"firefox", "code", "firefox", "gimp"}),
              (List{"org.gnome.Terminal", "firefox", "code", "gimp"}));
    const List current{"firefox", "code"};
    EXPECT_EQ(addingIgnoredApps(current, {"code", "firefox"}), current);
    // Matching is exact: a trailing space names another application.
    EXPECT_EQ(addingIgnoredApps(current, {"code "}), (List{"firefox", "code", "code "}));
}

TEST(IgnoredAppsListTest, AddingSkipsWhatTheStoredFormCannotHold) {
    const auto list = addingIgnoredApps({"a"}, {"", "evil\nfirefox", "b"});
    EXPECT_EQ(list, (List{"a", "b"}));
    EXPECT_EQ(decodeIgnoredApps(encodeIgnoredApps(list)), list);
}

TEST(IgnoredAppsListTest, RemovingTakesEveryCopyAndKeepsTheOrder) {
    EXPECT_EQ(removingIgnoredApp({"a", "b", "a", "c", "a"}, "a"), (List{"b", "c"}));
    EXPECT_EQ(removingIgnoredApp({"a", "b"}, "x"), (List{"a", "b"}));
    EXPECT_EQ(removingIgnoredApp({"a", "a "}, "a"), (List{"a "}));
    EXPECT_EQ(encodeIgnoredApps(removingIgnoredApp({"a"}, "a")), "");
}

} // namespace
} // namespace tessera
