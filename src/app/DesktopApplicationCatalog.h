#pragma once

#include "ApplicationCatalog.h"

#include "platform/linux/DesktopEntries.h"

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tessera::shell {

// The applications of the desktop entries in the XDG data folders: the identifier is the
// desktop file id, the name the entry's Name, the icon a file found for its Icon key in the
// hicolor theme or the pixmaps folder of the same data folders.
//
// The entries are read at the first look-up and again when an identifier isn't found and the
// last reading is older than the rescan interval, so an application installed meanwhile shows
// without every unknown identifier walking the folders.
class DesktopApplicationCatalog final : public ApplicationCatalog {
public:
    using Clock = std::chrono::steady_clock;

    DesktopApplicationCatalog();
    // Application folders ("…/share/applications"); icons are looked for next to them.
    explicit DesktopApplicationCatalog(std::vector<std::filesystem::path> applicationFolders,
                                       Clock::duration rescanInterval = std::chrono::seconds(5));

    std::optional<CatalogEntry> find(const QString& identifier) const override;
    // Read afresh each time: the chooser that asks is opened by hand, seldom.
    std::vector<CatalogEntry> applications() const override;

    // A file URL of the icon an entry's Icon key names; empty when no file is found.
    QString iconSource(const std::string& icon) const;

private:
    void read() const;
    CatalogEntry entryOf(const DesktopEntry& entry) const;

    std::vector<std::filesystem::path> folders_;
    Clock::duration rescanInterval_;
    mutable std::map<std::string, DesktopEntry, std::less<>> entries_;
    mutable std::optional<Clock::time_point> lastReading_;
};

} // namespace tessera::shell
