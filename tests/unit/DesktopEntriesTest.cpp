#include "TempDir.h"

#include "platform/linux/DesktopEntries.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>

using namespace tessera;
namespace fs = std::filesystem;

namespace {
DesktopEntry parsed(std::string_view text) {
    std::string error;
    auto entry = parseDesktopEntry(text, &error);
    EXPECT_TRUE(entry) << error;
    return entry.value_or(DesktopEntry{});
}

std::string refusal(std::string_view text) {
    std::string error;
    const auto entry = parseDesktopEntry(text, &error);
    EXPECT_FALSE(entry) << "accepted: " << text;
    EXPECT_FALSE(error.empty());
    return error;
}

std::string application(std::string_view name, std::string_view extra = {}) {
    return "[Desktop Entry]\nType=Application\nName=" + std::string(name) + "\n" +
           std::string(extra);
}

DesktopEntry entry(std::string id, std::string startupWMClass, std::string type = "Application") {
    DesktopEntry e;
    e.id = std::move(id);
    e.name = e.id;
    e.type = std::move(type);
    e.startupWMClass = std::move(startupWMClass);
    return e;
}

std::string foundId(const std::vector<DesktopEntry>& entries, std::string_view instance,
                    std::string_view windowClass) {
    const auto found = findDesktopEntry(entries, instance, windowClass);
    return found ? found->id : "<none>";
}
} // namespace

TEST(DesktopEntryParsing, ReadsTheMainGroupOnly) {
    const auto e = parsed("# A comment before any group\n"
                          "[Desktop Entry]\r\n"
                          "Type = Application\n"
                          "  # an indented comment\n"
                          "Name=Text Editor\n"
                          "Name[de]=Texteditor\n"
                          "Exec=gedit %U\r\n"
                          "Icon=org.gnome.gedit\n"
                          "StartupWMClass=Gedit  \n"
                          "this line is neither a key nor a group\n"
                          "[Desktop Action new-window]\n"
                          "Name=New Window\n"
                          "Hidden=true\n");
    EXPECT_EQ(e.type, "Application");
    EXPECT_EQ(e.name, "Text Editor");
    EXPECT_EQ(e.exec, "gedit %U");
    EXPECT_EQ(e.icon, "org.gnome.gedit");
    EXPECT_EQ(e.startupWMClass, "Gedit");
    EXPECT_FALSE(e.hidden) << "Hidden of an action group is not the entry's";

    // Booleans are the words of the format only.
    EXPECT_FALSE(parsed("[Desktop Entry]\nNoDisplay=yes\nHidden=True\n").hidden);
}

TEST(DesktopEntryParsing, RefusesWhatIsNoDesktopEntry) {
    EXPECT_NE(refusal("").find("[Desktop Entry]"), std::string::npos);

    const std::string withNul("[Desktop Entry]\nName=a\0b\n", 25);
    EXPECT_NE(refusal(withNul).find("UTF-8"), std::string::npos);
    refusal(application("\xFF\xFE"));
    refusal(application("surrogate \xED\xA0\x80"));
    refusal(application("beyond \xF4\x90\x80\x80"));
    EXPECT_EQ(parsed(application("Caf\xC3\xA9 \xE2\x9C\x93 \xF0\x9F\x98\x80")).name,
              "Caf\xC3\xA9 \xE2\x9C\x93 \xF0\x9F\x98\x80");

    std::string huge = application("Huge");
    huge.resize(maximumDesktopEntrySize + 1, '\n');
    EXPECT_NE(refusal(huge).find("too big"), std::string::npos);
}

// User entries come first, then the rest by id; a hidden entry hides the system's, an
// unreadable one doesn't; huge and special files are refused without blocking.
TEST(DesktopEntryFiles, TheFirstFolderWinsAndOnlyReadableEntriesCount) {
    test::TempDir temp{"tessera-desktop"};
    const auto user = temp / "user";
    const auto system = temp / "system";
    std::string huge = application("Huge");
    huge.resize(maximumDesktopEntrySize + 1, '#');
    test::writeTestFile(system / "huge.desktop", huge);
    ASSERT_EQ(::mkfifo((system / "pipe.desktop").c_str(), 0600), 0);
    fs::create_directories(system / "folder.desktop");
    std::string error;
    EXPECT_FALSE(readDesktopEntryFile(system / "huge.desktop", "huge", &error));
    EXPECT_NE(error.find("too big"), std::string::npos) << error;
    EXPECT_FALSE(readDesktopEntryFile(system / "pipe.desktop", "pipe", &error));
    EXPECT_NE(error.find("regular"), std::string::npos) << error;
    test::writeTestFile(user / "firefox.desktop", application("Mine"));
    test::writeTestFile(system / "firefox.desktop", application("System's"));
    test::writeTestFile(user / "removed.desktop", "[Desktop Entry]\nHidden=true\n");
    test::writeTestFile(system / "removed.desktop", application("Removed"));
    test::writeTestFile(user / "broken.desktop", "\xFF\xFF");
    test::writeTestFile(system / "broken.desktop", application("Readable"));
    test::writeTestFile(system / "kde4" / "konsole.desktop", application("Konsole"));
    test::writeTestFile(system / "alpha.desktop", application("Alpha"));
    test::writeTestFile(system / "readme.txt", application("Not an entry"));

    const auto all = readDesktopEntries({temp / "absent", user, system});
    std::vector<std::pair<std::string, std::string>> found;
    for (const auto& e : all) {
        found.emplace_back(e.id, e.name);
    }
    const std::vector<std::pair<std::string, std::string>> expected{
        {"firefox", "Mine"},
        {"alpha", "Alpha"},
        {"broken", "Readable"},
        {"kde4-konsole", "Konsole"},
    };
    EXPECT_EQ(found, expected);
    EXPECT_EQ(all[3].file, system / "kde4" / "konsole.desktop");
}

TEST(DesktopEntryMatching, StartupWMClassFirstThenTheIdIgnoringCase) {
    const std::vector<DesktopEntry> entries{
        entry("org.gnome.Terminal", "gnome-terminal-server"),
        entry("xterm", ""),
        entry("debian-xterm", "XTerm"),
        entry("google-chrome", "Google-chrome"),
        entry("chrome-mail", "crx_mailapp"),
        entry("link", "Linked", "Link"),
        entry("linked", ""),
    };
    EXPECT_EQ(foundId(entries, "gnome-terminal-server", "Gnome-terminal"), "org.gnome.Terminal");
    EXPECT_EQ(foundId(entries, "xterm", "XTerm"), "debian-xterm")
        << "a StartupWMClass match beats an id match";
    EXPECT_EQ(foundId(entries, "crx_mailapp", "Google-chrome"), "chrome-mail")
        << "the instance is more specific than the class";
    EXPECT_EQ(foundId(entries, "x", "XTERM"), "debian-xterm");
    EXPECT_EQ(foundId(entries, "Linked", "Other"), "linked") << "links are no applications";
    EXPECT_EQ(foundId(entries, "", ""), "<none>")
        << "an empty WM_CLASS matches no entry without StartupWMClass";
    EXPECT_EQ(foundId(entries, "xlogo", "XLogo"), "<none>");

    auto hidden = entry("xlogo", "XLogo");
    hidden.hidden = true;
    EXPECT_EQ(foundId({hidden}, "xlogo", "XLogo"), "<none>") << "a hidden entry names nothing";
}
