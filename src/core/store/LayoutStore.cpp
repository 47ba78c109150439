#include "LayoutStore.h"

#include "../model/Files.h"
#include "../model/Json.h"
#include "BuiltInLayouts.h"

#include <algorithm>
#include <chrono>
#include <system_error>

namespace tessera {

namespace fs = std::filesystem;

namespace {

constexpr const char* folderName = "Tessera";
// The folder name of earlier versions, taken over once.
constexpr const char* formerFolderName = "Mosaicor";
constexpr const char* fileName = "layouts.json";

// Follows symbolic links, as the platform's "file exists" does: a dangling link is no item.
bool itemExists(const fs::path& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

bool isMissing(const fs::path& path) {
    std::error_code ec;
    return fs::status(path, ec).type() == fs::file_type::not_found;
}

std::string sizeText(std::int64_t width, std::int64_t height) {
    return std::to_string(width) + "x" + std::to_string(height);
}

std::set<Uuid> allBuiltInIDs() {
    const auto ids = builtInLayoutIDs();
    return {ids.begin(), ids.end()};
}

const Layout* findLayout(const std::vector<Layout>& layouts, const Uuid& id) {
    const auto it =
        std::find_if(layouts.begin(), layouts.end(), [&id](const Layout& l) { return l.id == id; });
    return it == layouts.end() ? nullptr : &*it;
}

// The layout with a built-in id from the list, or the built-in itself when the user deleted it;
// the fresh copy is not added to the list.
Layout storedOrBuiltIn(const std::vector<Layout>& layouts, const Uuid& id) {
    if (const auto* layout = findLayout(layouts, id)) {
        return *layout;
    }
    return *builtInLayout(id);
}

// Copies the former container's folder beside its destination first and renames it into place,
// so an interrupted copy never passes for the real folder.
void copyFolderInto(const fs::path& source, const fs::path& destination) {
    std::error_code ec;
    fs::create_directories(destination.parent_path(), ec);
    if (ec) {
        return;
    }
    const auto staging =
        destination.parent_path() / ("." + destination.filename().string() + ".copying");
    fs::remove_all(staging, ec);
    fs::copy(source, staging, fs::copy_options::recursive, ec);
    if (!ec) {
        fs::rename(staging, destination, ec);
    }
    if (ec) {
        fs::remove_all(staging, ec);
    }
}

} // namespace

LayoutStore::LayoutStore(fs::path fileURL, WriteFault writeFault)
    : fileURL_(std::move(fileURL)), writeFault_(std::move(writeFault)), layouts_(builtInLayouts()),
      assignments_(defaultAssignments()), seeded_(allBuiltInIDs()) {
    // A write that was cut short (a crash, a power cut) leaves its temporary file behind.
    removeLeftoverTemporaryFiles(fileURL_);
    load();
}

fs::path LayoutStore::defaultFileURL(const UserFolders& folders,
                                     std::string_view bundleIdentifier) {
    const auto support = folders.applicationSupport.value_or(folders.temporary);
    const auto folder = support / folderName;
    const auto formerFolder = support / formerFolderName;
    if (!itemExists(folder) && itemExists(formerFolder)) {
        std::error_code ignored;
        fs::rename(formerFolder, folder, ignored);
    }
    const auto containerFolder = folders.home / "Library" / "Containers" /
                                 std::string(bundleIdentifier) / "Data" / "Library" /
                                 "Application Support" / folderName;
    if (!itemExists(folder) && itemExists(containerFolder)) {
        copyFolderInto(containerFolder, folder);
    }
    return folder / fileName;
}

void LayoutStore::load() {
    if (isMissing(fileURL_)) {
        save();
        return;
    }
    std::string error;
    std::optional<LayoutStorePayload> decoded;
    if (const auto bytes = readWholeFile(fileURL_, &error)) {
        auto result = decodePayload(*bytes);
        decoded = std::move(result.value);
        error = std::move(result.error);
    }
    if (!decoded) {
        // The built-in state replaces the file, but only once its bytes are safe in a copy:
        // save keeps that copy first and refuses to write while it cannot.
        recovery_ = StoreRecovery{{}, error, {}};
        mustKeepUnreadable_ = true;
        setLayouts(builtInLayouts());
        setAssignments(defaultAssignments());
        save();
        return;
    }
    setLayouts(decoded->layouts.empty() ? builtInLayouts() : std::move(decoded->layouts));
    setAssignments(std::move(decoded->assignments));
    if (decoded->seeded) {
        seeded_ = {decoded->seeded->begin(), decoded->seeded->end()};
    } else {
        seeded_ = {legacySeededIDs().begin(), legacySeededIDs().end()};
    }
    if (seedMissingBuiltIns()) {
        save();
    }
}

bool LayoutStore::seedMissingBuiltIns() {
    std::vector<Layout> offered;
    for (auto& layout : builtInLayouts()) {
        if (!seeded_.contains(layout.id)) {
            offered.push_back(std::move(layout));
        }
    }
    if (offered.empty()) {
        return false;
    }
    auto layouts = layouts_;
    for (auto& layout : offered) {
        seeded_.insert(layout.id);
        if (!findLayout(layouts, layout.id)) {
            layouts.push_back(std::move(layout));
        }
    }
    if (layouts.size() != layouts_.size()) {
        setLayouts(std::move(layouts));
    }
    return true;
}

bool LayoutStore::save() {
    if (auto error = createFolders(fileURL_.parent_path()); !error.empty()) {
        lastSaveError_ = std::move(error);
        return false;
    }
    if (mustKeepUnreadable_) {
        if (!isMissing(fileURL_)) {
            std::string error;
            const auto copy =
                keepUnreadableCopy(fileURL_, std::chrono::system_clock::now(), &error);
            if (!copy) {
                recovery_->copyError = error;
                lastSaveError_ = "Can't replace the unreadable file " + fileURL_.string() +
                                 " because no copy of it could be kept (" + error +
                                 "); it was left as it is";
                return false;
            }
            recovery_->keptCopy = *copy;
            recovery_->copyError.clear();
        }
        mustKeepUnreadable_ = false;
    }
    std::string bytes;
    try {
        bytes = encodeJson(toJson(payload()));
    } catch (const std::exception& error) {
        lastSaveError_ = "Can't encode the layouts for " + fileURL_.string() + ": " + error.what();
        return false;
    }
    if (auto error = writeFileAtomically(fileURL_, bytes, writeFault_); !error.empty()) {
        lastSaveError_ = std::move(error);
        return false;
    }
    lastSaveError_.clear();
    return true;
}

std::array<std::string, 4> LayoutStore::candidateKeys(const ScreenInfo& screen) {
    const auto pixels = sizeText(screen.pixelWidth, screen.pixelHeight) + "px";
    const auto points = sizeText(screen.pointWidth, screen.pointHeight);
    return {pixels + "|" + screen.name, points + "|" + screen.name, pixels, points};
}

std::string LayoutStore::assignmentKey(const ScreenInfo& screen) {
    return candidateKeys(screen)[0];
}

std::optional<Layout> LayoutStore::resolveLayout(const ScreenInfo& screen,
                                                 const std::vector<Layout>& layouts,
                                                 const std::map<std::string, Uuid>& assignments) {
    for (const auto& key : candidateKeys(screen)) {
        if (const auto it = assignments.find(key); it != assignments.end()) {
            if (const auto* layout = findLayout(layouts, it->second)) {
                return *layout;
            }
        }
    }
    if (screen.isPortrait()) {
        if (const auto* layout = findLayout(layouts, verticalRowsLayoutID())) {
            return *layout;
        }
    }
    const auto points = sizeText(screen.pointWidth, screen.pointHeight);
    const auto pixels = sizeText(screen.pixelWidth, screen.pixelHeight);
    const auto isSize = [&](const char* size) { return points == size || pixels == size; };
    if (isSize("2560x1440")) {
        return storedOrBuiltIn(layouts, stackHalfLayoutID());
    }
    if (isSize("3440x1440")) {
        return storedOrBuiltIn(layouts, halfStackLayoutID());
    }
    if (layouts.empty()) {
        return std::nullopt;
    }
    return layouts.front();
}

Layout LayoutStore::layoutFor(const ScreenInfo& screen) const {
    if (auto layout = resolveLayout(screen, layouts_, assignments_)) {
        return std::move(*layout);
    }
    // Unreachable while the store keeps its list non-empty, which every operation does.
    return layouts_.empty() ? builtInLayouts().front() : layouts_.front();
}

void LayoutStore::assign(const Uuid& layoutID, const ScreenInfo& screen) {
    auto assignments = assignments_;
    assignments[assignmentKey(screen)] = layoutID;
    setAssignments(std::move(assignments));
    save();
}

void LayoutStore::upsert(const Layout& layout) {
    auto layouts = layouts_;
    const auto it = std::find_if(layouts.begin(), layouts.end(),
                                 [&layout](const Layout& l) { return l.id == layout.id; });
    if (it != layouts.end()) {
        *it = layout;
    } else {
        layouts.push_back(layout);
    }
    setLayouts(std::move(layouts));
    save();
}

void LayoutStore::deleteLayout(const Uuid& layoutID) {
    auto layouts = layouts_;
    std::erase_if(layouts, [&layoutID](const Layout& l) { return l.id == layoutID; });
    auto assignments = assignments_;
    std::erase_if(assignments, [&layoutID](const auto& entry) { return entry.second == layoutID; });
    if (layouts.empty()) {
        layouts = builtInLayouts();
        assignments = defaultAssignments();
    }
    setLayouts(std::move(layouts));
    setAssignments(std::move(assignments));
    save();
}

void LayoutStore::restoreBuiltIns() {
    setLayouts(builtInLayouts());
    setAssignments(defaultAssignments());
    seeded_ = allBuiltInIDs();
    save();
}

std::vector<ScreenInfo> LayoutStore::screensUsing(const Uuid& layoutID,
                                                  const std::vector<ScreenInfo>& screens) const {
    std::vector<ScreenInfo> result;
    for (const auto& screen : screens) {
        if (layoutFor(screen).id == layoutID) {
            result.push_back(screen);
        }
    }
    return result;
}

std::vector<std::pair<Layout, Zone>>
LayoutStore::zonesUsing(std::uint32_t keyCode, std::uint32_t carbonModifiers,
                        const std::optional<Uuid>& skipZoneID) const {
    std::vector<std::pair<Layout, Zone>> result;
    for (const auto& layout : layouts_) {
        for (const auto& zone : layout.zones) {
            if (skipZoneID && zone.id == *skipZoneID) {
                continue;
            }
            if (zone.shortcut && zone.shortcut->keyCode == keyCode &&
                zone.shortcut->carbonModifiers == carbonModifiers) {
                result.emplace_back(layout, zone);
            }
        }
    }
    return result;
}

LayoutStorePayload LayoutStore::payload() const {
    std::vector<Uuid> seeded(seeded_.begin(), seeded_.end());
    // Byte order already matches, but the file's order is defined on the written text.
    std::sort(seeded.begin(), seeded.end(),
              [](const Uuid& a, const Uuid& b) { return a.string() < b.string(); });
    return LayoutStorePayload{layouts_, assignments_, std::move(seeded)};
}

void LayoutStore::apply(const LayoutStorePayload& payload) {
    if (payload.layouts.empty()) {
        return;
    }
    setLayouts(payload.layouts);
    setAssignments(payload.assignments);
    if (payload.seeded) {
        seeded_ = {payload.seeded->begin(), payload.seeded->end()};
    } else {
        seeded_ = {legacySeededIDs().begin(), legacySeededIDs().end()};
    }
    seedMissingBuiltIns();
    save();
}

void LayoutStore::setLayouts(std::vector<Layout> layouts) {
    willChange_.emit();
    layouts_ = std::move(layouts);
}

void LayoutStore::setAssignments(std::map<std::string, Uuid> assignments) {
    willChange_.emit();
    assignments_ = std::move(assignments);
}

} // namespace tessera
