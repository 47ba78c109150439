#pragma once

#include "core/platform/AppServices.h"
#include "core/platform/LoginItem.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace tessera {

// "Open at Login" as an XDG autostart entry: "$XDG_CONFIG_HOME/autostart/<bundle id>.desktop",
// which every XDG desktop starts at login. The entry is on while the file exists and doesn't say
// "Hidden=true" (the way a desktop switches off an entry without deleting it). Nothing is cached:
// status() reads the file each time, so changes made by the desktop's own settings show.
class XdgLoginItem final : public LoginItem {
public:
    // `executable`: the program the entry starts (the absolute path of the tessera binary).
    XdgLoginItem(const UserFolders& folders, std::string_view bundleIdentifier,
                 std::filesystem::path executable);

    LoginItemStatus status() const override;
    // Writes the entry atomically, creating the autostart folder when missing; an entry the
    // desktop had hidden is replaced by an active one.
    bool registerItem() override;
    // Removes the entry; no entry is no error.
    bool unregisterItem() override;
    std::string lastError() const override { return lastError_; }

    const std::filesystem::path& file() const { return file_; }

    // The entry's text. Empty with the reason in *error when the path can't be written as an
    // Exec value (a line break or another control character in it).
    static std::string desktopEntry(const std::filesystem::path& executable, std::string* error);

private:
    std::filesystem::path file_;
    std::filesystem::path executable_;
    std::string lastError_;
};

} // namespace tessera
