#include "ZoneMemory.h"

#include "../app/Preferences.h"
#include "../model/Files.h"
#include "../model/Screens.h"
#include "../platform/Defaults.h"
#include "../platform/Displays.h"
#include "../platform/Log.h"
#include "../platform/Scheduler.h"
#include "../platform/Workspace.h"
#include "../store/LayoutStore.h"
#include "AccessibilityWindowMover.h"
#include "WindowAccess.h"

#include <algorithm>
#include <chrono>
#include <system_error>

namespace tessera {

namespace fs = std::filesystem;
using nlohmann::json;

namespace {

constexpr std::string_view logCategory = "windows";
constexpr std::int64_t fileVersion = 1;
// Root object, the list, a window: nothing in the file nests deeper.
constexpr int maximumDepth = 3;

// Cut on a character boundary, so the text stays valid UTF-8.
std::string bounded(const std::string& text) {
    if (text.size() <= maximumRememberedTextBytes) {
        return text;
    }
    std::size_t end = maximumRememberedTextBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return text.substr(0, end);
}

const std::string& textMember(const json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end() || !it->is_string()) {
        throw DecodeError(std::string("window \"") + key + "\" is missing or not a string");
    }
    const auto& text = it->get_ref<const std::string&>();
    if (text.size() > maximumRememberedTextBytes) {
        throw DecodeError(std::string("window \"") + key + "\" is too long");
    }
    return text;
}

const json& member(const json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end()) {
        throw DecodeError(std::string("window \"") + key + "\" is missing");
    }
    return *it;
}

RememberedWindow windowFromJson(const json& object) {
    if (!object.is_object()) {
        throw DecodeError("a window is not an object");
    }
    RememberedWindow window;
    window.application = textMember(object, "application");
    if (window.application.empty()) {
        throw DecodeError("window \"application\" is empty");
    }
    window.identity.windowClass = textMember(object, "class");
    window.identity.role = textMember(object, "role");
    window.identity.title = textMember(object, "title");
    window.screenID = textMember(object, "screen");
    window.layoutID = uuidFromJson(member(object, "layout"), "window \"layout\"");
    window.zoneID = uuidFromJson(member(object, "zone"), "window \"zone\"");
    return window;
}

// The same window as far as a later run can tell: by class and role where the window has a
// role, else by title.
bool recognises(const WindowIdentity& remembered, const WindowIdentity& seen, bool byRole) {
    if (byRole) {
        return !seen.role.empty() && remembered.role == seen.role &&
               remembered.windowClass == seen.windowClass;
    }
    return !seen.title.empty() && remembered.title == seen.title;
}

} // namespace

std::string encodeRememberedWindows(const std::vector<RememberedWindow>& windows) {
    json list = json::array();
    const auto first = windows.size() > maximumRememberedWindows
                           ? windows.end() - maximumRememberedWindows
                           : windows.begin();
    for (auto it = first; it != windows.end(); ++it) {
        list.push_back({{"application", bounded(it->application)},
                        {"class", bounded(it->identity.windowClass)},
                        {"role", bounded(it->identity.role)},
                        {"title", bounded(it->identity.title)},
                        {"screen", bounded(it->screenID)},
                        {"layout", it->layoutID.string()},
                        {"zone", it->zoneID.string()}});
    }
    return encodeJson({{"version", fileVersion}, {"windows", std::move(list)}});
}

Decoded<std::vector<RememberedWindow>> decodeRememberedWindows(std::string_view bytes) {
    Decoded<std::vector<RememberedWindow>> result;
    if (bytes.size() > maximumWindowsFileBytes) {
        result.error = "larger than " + std::to_string(maximumWindowsFileBytes) + " bytes";
        return result;
    }
    try {
        const auto document =
            json::parse(bytes.begin(), bytes.end(), [](int depth, json::parse_event_t, json&) {
                if (depth > maximumDepth) {
                    throw DecodeError("nested deeper than a windows file is");
                }
                return true;
            });
        if (!document.is_object()) {
            throw DecodeError("not a JSON object");
        }
        const auto version = document.find("version");
        if (version == document.end() || !version->is_number_integer() ||
            version->get<std::int64_t>() != fileVersion) {
            throw DecodeError("\"version\" is not 1");
        }
        const auto list = document.find("windows");
        if (list == document.end() || !list->is_array()) {
            throw DecodeError("\"windows\" is missing or not a list");
        }
        if (list->size() > maximumRememberedWindows) {
            throw DecodeError("more than " + std::to_string(maximumRememberedWindows) + " windows");
        }
        std::vector<RememberedWindow> windows;
        windows.reserve(list->size());
        for (const auto& item : *list) {
            windows.push_back(windowFromJson(item));
        }
        result.value = std::move(windows);
    } catch (const DecodeError& error) {
        result.error = error.what();
    } catch (const json::exception& error) {
        result.error = std::string("not valid JSON: ") + error.what();
    }
    return result;
}

ZoneMemory::ZoneMemory(const ZoneMemoryContext& context, std::optional<fs::path> file)
    : context_(context), file_(std::move(file)) {
    load();
}

ZoneMemory::~ZoneMemory() = default;

std::optional<fs::path> ZoneMemory::defaultFile(const UserFolders& folders) {
    if (!folders.state) {
        return std::nullopt;
    }
    return *folders.state / "Tessera" / "windows.json";
}

void ZoneMemory::load() {
    if (!file_) {
        return;
    }
    removeLeftoverTemporaryFiles(*file_);
    std::error_code code;
    if (!fs::exists(*file_, code)) {
        return;
    }
    std::string error;
    std::optional<std::string> bytes;
    if (const auto size = fs::file_size(*file_, code); code || size > maximumWindowsFileBytes) {
        error = code ? code.message()
                     : "larger than " + std::to_string(maximumWindowsFileBytes) + " bytes";
    } else {
        bytes = readWholeFile(*file_, &error);
    }
    if (bytes) {
        auto decoded = decodeRememberedWindows(*bytes);
        if (decoded) {
            for (auto& record : *decoded.value) {
                entries_.push_back({std::move(record), std::nullopt});
            }
            return;
        }
        error = decoded.error;
    }
    std::string copyError;
    keptCopy_ = keepUnreadableCopy(*file_, std::chrono::system_clock::now(), &copyError);
    writable_ = keptCopy_.has_value();
    context_.log.write(logCategory, LogLevel::error,
                       "Can't read " + file_->string() + " (" + error + "); " +
                           (keptCopy_ ? "it was copied to " + keptCopy_->string() +
                                            " and Tessera starts without remembered windows"
                                      : "no copy of it could be kept (" + copyError +
                                            "), so it is left as it is this run"));
}

void ZoneMemory::save() {
    if (!file_ || !writable_) {
        return;
    }
    std::vector<RememberedWindow> records = windows();
    auto error = createFolders(file_->parent_path());
    if (error.empty()) {
        error = writeFileAtomically(*file_, encodeRememberedWindows(records));
    }
    if (!error.empty()) {
        // Tessera goes on placing windows; only the next run loses what this one learnt.
        context_.log.write(logCategory, LogLevel::error, error);
    }
}

std::vector<RememberedWindow> ZoneMemory::windows() const {
    std::vector<RememberedWindow> records;
    records.reserve(entries_.size());
    for (const auto& entry : entries_) {
        records.push_back(entry.record);
    }
    return records;
}

void ZoneMemory::start() {
    if (!connections_.empty()) {
        return;
    }
    connected_ = connectedScreens();
    connections_.push_back(context_.mover.onPlacementChange(
        [this](const AccessibilityElement& window, const std::optional<Placement>& placement) {
            placementChanged(window, placement);
        }));
    connections_.push_back(context_.displays.onChange([this] { displaysChanged(); }));
    connections_.push_back(context_.accessibility.onWindowAppeared(
        [this](const AccessibilityElement& window) { windowAppeared(window); }));
    connections_.push_back(context_.accessibility.onWindowMoved(
        [this](const AccessibilityElement& window) { windowMoved(window); }));
}

std::set<std::string> ZoneMemory::connectedScreens() const {
    std::set<std::string> ids;
    for (const auto& screen : makeScreenInfos(context_.displays.screens())) {
        ids.insert(screen.id);
    }
    return ids;
}

std::optional<std::string>
ZoneMemory::placeableApplication(const AccessibilityElement& window,
                                 const std::optional<std::string>& known) {
    std::optional<std::string> application;
    if (const auto process = context_.accessibility.processId(window)) {
        if (const auto running = context_.workspace.runningApplication(*process)) {
            application = running->bundleIdentifier;
        }
    }
    // A window's application doesn't change while it lives, but a window manager's list may
    // briefly lack the window while displays change (openbox empties it), and then the lookup
    // finds no name. The same holds for what identifies the window.
    if (!application) {
        application = known;
    }
    if (!application) {
        return std::nullopt;
    }
    const auto ignored = ignoredApps(context_.defaults);
    if (std::find(ignored.begin(), ignored.end(), *application) != ignored.end()) {
        return std::nullopt;
    }
    return application;
}

void ZoneMemory::placementChanged(const AccessibilityElement& window,
                                  const std::optional<Placement>& placement) {
    const auto sizeBefore = entries_.size();
    std::optional<std::string> known;
    std::optional<WindowIdentity> knownIdentity;
    for (const auto& entry : entries_) {
        if (entry.window == window) {
            known = entry.record.application;
            knownIdentity = entry.record.identity;
        }
    }
    std::erase_if(entries_, [&](const Entry& entry) { return entry.window == window; });
    const auto application =
        placement && placement->zoneID ? placeableApplication(window, known) : std::nullopt;
    if (!application) {
        if (entries_.size() != sizeBefore) {
            save();
        }
        return;
    }
    // The layout that holds the zone: the display's own when it does, as the drop or shortcut
    // used it; else whichever does (a layout shown on no display can't have been used, but a
    // zone id is all the mover hands on).
    const auto screens = makeScreenInfos(context_.displays.screens());
    std::optional<Uuid> layoutID;
    for (const auto& screen : screens) {
        if (screen.id == placement->screenID) {
            const auto layout = context_.store.layoutFor(screen);
            if (std::any_of(layout.zones.begin(), layout.zones.end(),
                            [&](const Zone& zone) { return zone.id == *placement->zoneID; })) {
                layoutID = layout.id;
            }
        }
    }
    for (const auto& layout : context_.store.layouts()) {
        if (!layoutID && std::any_of(layout.zones.begin(), layout.zones.end(),
                                     [&](const Zone& z) { return z.id == *placement->zoneID; })) {
            layoutID = layout.id;
        }
    }
    if (!layoutID) {
        save();
        return;
    }
    auto identity = context_.accessibility.windowIdentity(window);
    if (knownIdentity && identity == WindowIdentity{}) {
        identity = *knownIdentity;
    }
    RememberedWindow record{*application, std::move(identity), placement->screenID, *layoutID,
                            *placement->zoneID};
    // What an earlier run remembered of this same window is replaced, not kept twice.
    std::erase_if(entries_, [&](const Entry& entry) {
        return !entry.window && entry.record.application == record.application &&
               entry.record.identity == record.identity;
    });
    entries_.push_back({std::move(record), window});
    if (entries_.size() > maximumRememberedWindows) {
        entries_.erase(entries_.begin(),
                       entries_.end() - static_cast<std::ptrdiff_t>(maximumRememberedWindows));
    }
    save();
}

void ZoneMemory::displaysChanged() {
    const auto now = connectedScreens();
    std::set<std::string> back;
    std::set_difference(now.begin(), now.end(), connected_.begin(), connected_.end(),
                        std::inserter(back, back.end()));
    connected_ = now;
    if (back.empty() || !preferenceBool(context_.defaults, prefs::returnToZonesOnReconnect)) {
        return;
    }
    for (const auto& entry : entries_) {
        if (entry.window && back.count(entry.record.screenID) > 0) {
            returnLater(*entry.window, entry.record);
        }
    }
}

void ZoneMemory::windowAppeared(const AccessibilityElement& window) {
    if (!preferenceBool(context_.defaults, prefs::openInLastZone)) {
        return;
    }
    const auto application = placeableApplication(window, std::nullopt);
    if (!application) {
        return;
    }
    const auto identity = context_.accessibility.windowIdentity(window);
    for (const bool byRole : {true, false}) {
        // The most recently placed of the windows that match and are not open already.
        for (auto it = entries_.rbegin(); it != entries_.rend(); ++it) {
            if (it->record.application != *application ||
                !recognises(it->record.identity, identity, byRole)) {
                continue;
            }
            if (it->window && windowFrame(context_.accessibility, *it->window)) {
                continue;
            }
            // Taken by this window: its placement replaces the record.
            it->window = window;
            returnLater(window, it->record);
            return;
        }
    }
}

void ZoneMemory::returnLater(const AccessibilityElement& window, const RememberedWindow& record) {
    // A turn later: the platform may still be busy with the change that announced this, and a
    // placement announces a change of the entries being walked.
    const std::weak_ptr<const int> alive = lifetime_;
    context_.scheduler.post([this, alive, window, record] {
        if (alive.lock()) {
            returnNow(window, record);
        }
    });
}

void ZoneMemory::returnNow(const AccessibilityElement& window, const RememberedWindow& record) {
    if (!windowFrame(context_.accessibility, window) ||
        !placeableApplication(window, record.application)) {
        return;
    }
    if (const auto target = recordedZone(record)) {
        context_.log.write(logCategory, LogLevel::debug,
                           "returning a window of " + record.application + " to zone " +
                               target->first.name);
        context_.mover.placeInZone(window, target->first, target->second);
    }
}

std::optional<std::pair<Zone, SystemDisplay>>
ZoneMemory::recordedZone(const RememberedWindow& record) const {
    const auto& layouts = context_.store.layouts();
    const auto layout = std::find_if(layouts.begin(), layouts.end(),
                                     [&](const Layout& l) { return l.id == record.layoutID; });
    if (layout == layouts.end()) {
        return std::nullopt;
    }
    const auto zone = std::find_if(layout->zones.begin(), layout->zones.end(),
                                   [&](const Zone& z) { return z.id == record.zoneID; });
    if (zone == layout->zones.end()) {
        return std::nullopt;
    }
    for (const auto& display : context_.displays.screens()) {
        if (makeScreenInfo(display).id == record.screenID) {
            return std::pair{*zone, display};
        }
    }
    return std::nullopt;
}

void ZoneMemory::windowMoved(const AccessibilityElement& window) {
    const auto entry = std::find_if(entries_.begin(), entries_.end(),
                                    [&](const Entry& e) { return e.window == window; });
    if (entry == entries_.end()) {
        return;
    }
    // The window manager may move windows for a display that leaves before that display's
    // report arrives, so the move is judged once things have settled.
    auto& pending = settling_[window];
    pending.cancel();
    pending = context_.scheduler.after(moveSettleSeconds, lifetime_, [this, window] {
        settling_.erase(window);
        judgeMove(window);
    });
}

void ZoneMemory::judgeMove(const AccessibilityElement& window) {
    const auto entry = std::find_if(entries_.begin(), entries_.end(),
                                    [&](const Entry& e) { return e.window == window; });
    const auto frame = windowFrame(context_.accessibility, window);
    if (entry == entries_.end() || !frame) {
        return;
    }
    // A window whose display is away was moved to make room for that: it is still the zone's.
    const auto target = recordedZone(entry->record);
    if (!target) {
        return;
    }
    // Where the window was put, or at the corner of its zone now: either way it still sits in
    // it. Only the corner counts, because a window may settle on another size after the
    // placement was recorded (a minimum size, or a Wayland client answering later).
    const auto placed = context_.mover.placementFor(window, *frame);
    const auto zoneFrame = context_.mover.zoneWindowFrame(target->first, target->second);
    if ((placed && placed->zoneID == entry->record.zoneID) ||
        framesMatch(Rect(frame->minX(), frame->minY(), zoneFrame.width(), zoneFrame.height()),
                    zoneFrame)) {
        return;
    }
    context_.log.write(logCategory, LogLevel::debug,
                       "a window of " + entry->record.application + " left zone " +
                           target->first.name + " by hand");
    context_.mover.windowMovedByHand(window);
}

} // namespace tessera
