#pragma once

#include "../model/Files.h"
#include "../model/Records.h"
#include "../model/Signal.h"
#include "../platform/AppServices.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessera {

// What load did with a file it could not read: where the unreadable bytes were kept and why
// they were unreadable. The store then starts from the built-in state.
struct StoreRecovery {
    std::filesystem::path keptCopy; // empty when even the copy could not be made
    std::string reason;
    // Why no copy could be made. Until one is made the unreadable file is left untouched and
    // every save fails.
    std::string copyError;
};

// Every layout of the user, which display shows which layout, and which built-ins were offered.
// Owns layouts.json: reads it once on creation and rewrites it whole after every change.
class LayoutStore {
public:
    // `writeFault` makes saves fail, for tests.
    explicit LayoutStore(std::filesystem::path fileURL, WriteFault writeFault = {});

    // "Tessera/layouts.json" in the user's application data folder; takes over the folder of
    // earlier versions and the former container's copy once.
    static std::filesystem::path defaultFileURL(const UserFolders& folders,
                                                std::string_view bundleIdentifier);

    const std::vector<Layout>& layouts() const { return layouts_; }
    const std::map<std::string, Uuid>& assignments() const { return assignments_; }
    const std::set<Uuid>& seeded() const { return seeded_; }
    const std::filesystem::path& fileURL() const { return fileURL_; }

    // Called before layouts or assignments change; observers re-read both afterwards.
    [[nodiscard]] Connection onWillChange(std::function<void()> observer) {
        return willChange_.connect(std::move(observer));
    }

    // Writes the whole document atomically. False on failure (the reason is in lastSaveError);
    // the state in memory stays as changed and the next successful save writes all of it.
    bool save();
    const std::string& lastSaveError() const { return lastSaveError_; }
    // Set when load found an unreadable file and kept a copy of it.
    const std::optional<StoreRecovery>& recovery() const { return recovery_; }

    // The four assignment keys of a display, most specific first.
    static std::array<std::string, 4> candidateKeys(const ScreenInfo& screen);
    // The key new assignments are stored under: pixel size and name.
    static std::string assignmentKey(const ScreenInfo& screen);
    // The lookup rule as a pure function.
    static std::optional<Layout> resolveLayout(const ScreenInfo& screen,
                                               const std::vector<Layout>& layouts,
                                               const std::map<std::string, Uuid>& assignments);
    Layout layoutFor(const ScreenInfo& screen) const;

    void assign(const Uuid& layoutID, const ScreenInfo& screen);
    void upsert(const Layout& layout);
    void deleteLayout(const Uuid& layoutID);
    void restoreBuiltIns();

    // The displays among the given ones whose current layout has this id, in the given order.
    std::vector<ScreenInfo> screensUsing(const Uuid& layoutID,
                                         const std::vector<ScreenInfo>& screens) const;
    // Every zone with exactly this key combination, in store order, except the skipped zone.
    std::vector<std::pair<Layout, Zone>> zonesUsing(std::uint32_t keyCode,
                                                    std::uint32_t carbonModifiers,
                                                    const std::optional<Uuid>& skipZoneID) const;

    // Snapshot for a backup, "seeded" sorted as in the file.
    LayoutStorePayload payload() const;
    // Replaces the state from a backup; an empty layout list changes nothing.
    void apply(const LayoutStorePayload& payload);

private:
    void load();
    bool seedMissingBuiltIns();
    void setLayouts(std::vector<Layout> layouts);
    void setAssignments(std::map<std::string, Uuid> assignments);

    std::filesystem::path fileURL_;
    WriteFault writeFault_;
    std::vector<Layout> layouts_;
    std::map<std::string, Uuid> assignments_;
    std::set<Uuid> seeded_;
    Signal<> willChange_;
    std::string lastSaveError_;
    std::optional<StoreRecovery> recovery_;
    // The file on disk could not be read and no copy of it exists yet: it must not be replaced.
    bool mustKeepUnreadable_ = false;
};

} // namespace tessera
