#include "ZoneEditor.h"

#include "../app/AppState.h"
#include "../app/UndoManager.h"
#include "../model/StringTables.h"
#include "../platform/Localizer.h"
#include "../store/DisplayNames.h"
#include "../store/LayoutStore.h"
#include "../store/Templates.h"
#include "ZoneCanvasModel.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <utility>

namespace tessera {

namespace {

std::vector<std::optional<KeyCombo>> shortcuts(const Layout& layout) {
    std::vector<std::optional<KeyCombo>> result;
    result.reserve(layout.zones.size());
    for (const auto& zone : layout.zones) {
        result.push_back(zone.shortcut);
    }
    return result;
}

std::string_view trimmed(std::string_view text) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!text.empty() && isSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

double& edgeValue(Zone& zone, ZoneEdge edge) {
    switch (edge) {
    case ZoneEdge::left:
        return zone.x;
    case ZoneEdge::top:
        return zone.y;
    case ZoneEdge::width:
        return zone.width;
    case ZoneEdge::height:
        return zone.height;
    }
    return zone.x;
}

double edgeValue(const Zone& zone, ZoneEdge edge) {
    auto copy = zone;
    return edgeValue(copy, edge);
}

} // namespace

char decimalSeparator(std::string_view language) {
    const auto base = language.substr(0, language.find_first_of("-_"));
    for (const std::string_view comma : {"ru", "fr", "es", "el", "de"}) {
        if (base == comma) {
            return ',';
        }
    }
    return '.';
}

std::string formatPercent(double fraction, std::string_view language) {
    const long long tenths = shownPercent(fraction, 1000);
    const long long magnitude = std::llabs(tenths);
    std::string text = tenths < 0 ? "-" : "";
    text += std::to_string(magnitude / 10);
    if (magnitude % 10 != 0) {
        text += decimalSeparator(language);
        text += std::to_string(magnitude % 10);
    }
    return text;
}

std::optional<double> parsePercent(std::string_view text, std::string_view language) {
    text = trimmed(text);
    if (!text.empty() && text.back() == '%') {
        text = trimmed(text.substr(0, text.size() - 1));
    }
    if (text.empty()) {
        return std::nullopt;
    }
    const char separator = decimalSeparator(language);
    std::string number;
    number.reserve(text.size());
    for (const char c : text) {
        if (c == separator) {
            number += '.';
        } else if ((c >= '0' && c <= '9') || c == '-' || c == '+') {
            number += c;
        } else {
            // The other language's separator, exponents and words are not numbers here.
            return std::nullopt;
        }
    }
    if (number.front() == '+') {
        number.erase(0, 1);
    }
    double value = 0;
    const auto* end = number.data() + number.size();
    const auto [ptr, error] = std::from_chars(number.data(), end, value);
    if (error != std::errc() || ptr != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

ZoneEditor::ZoneEditor(AppState& appState, const Localizer& localizer, UndoManager* undoManager)
    : appState_(appState), localizer_(localizer), undoManager_(undoManager) {}

// --- Derived values ---

std::optional<ScreenInfo> ZoneEditor::editedDisplay() const {
    const auto& screens = appState_.screens();
    if (screens.empty()) {
        return std::nullopt;
    }
    if (const auto& id = appState_.editorScreenID()) {
        const auto it = std::find_if(screens.begin(), screens.end(),
                                     [&](const ScreenInfo& s) { return s.id == *id; });
        if (it != screens.end()) {
            return *it;
        }
    }
    return screens.front();
}

std::optional<Layout> ZoneEditor::editedLayout() const {
    if (const auto display = editedDisplay()) {
        return appState_.store().layoutFor(*display);
    }
    const auto& layouts = appState_.store().layouts();
    if (layouts.empty()) {
        return std::nullopt;
    }
    return layouts.front();
}

std::optional<Zone> ZoneEditor::selectedZone() const {
    const auto layout = editedLayout();
    if (!layout || !selectedZoneID_) {
        return std::nullopt;
    }
    const auto it = std::find_if(layout->zones.begin(), layout->zones.end(),
                                 [&](const Zone& z) { return z.id == *selectedZoneID_; });
    if (it == layout->zones.end()) {
        return std::nullopt;
    }
    return *it;
}

std::string ZoneEditor::displayName(const Layout& layout) const {
    return tessera::displayName(layout.id, layout.name, localizer_);
}

std::string ZoneEditor::displayName(const Zone& zone) const {
    return tessera::displayName(zone.id, zone.name, localizer_);
}

std::optional<Layout> ZoneEditor::storedLayout(const Uuid& layoutID) const {
    const auto& layouts = appState_.store().layouts();
    const auto it = std::find_if(layouts.begin(), layouts.end(),
                                 [&](const Layout& l) { return l.id == layoutID; });
    if (it == layouts.end()) {
        return std::nullopt;
    }
    return *it;
}

// --- Building blocks ---

void ZoneEditor::beginEdit(std::string_view actionName) {
    const auto layout = editedLayout();
    if (!layout || undoManager_ == nullptr) {
        return;
    }
    // A built-in layout shown before it was ever stored has no earlier version to go back to.
    auto before = storedLayout(layout->id);
    if (!before) {
        return;
    }
    // Undoing applies the stored version through the state, which registers the reverse step
    // (so redo works) and the shortcuts again. The state's target drops the step with the state
    // and lets a layout deletion remove all of them at once.
    const auto name = std::string(actionName);
    auto& state = appState_;
    auto* undoManager = undoManager_;
    undoManager_->registerUndo(appState_.undoTarget(),
                               [&state, before = std::move(*before), name, undoManager] {
                                   state.applyLayoutChange(before, name, undoManager);
                               });
    undoManager_->setActionName(name);
}

void ZoneEditor::applyLayoutChange(const std::function<void(Layout&)>& change) {
    const auto before = editedLayout();
    if (!before) {
        return;
    }
    auto after = *before;
    change(after);
    if (after.id == before->id && after.name == before->name && after.zones == before->zones) {
        return;
    }
    appState_.store().upsert(after);
    // Moving and resizing leave the shortcuts alone; only a different list needs the system's
    // registrations redone.
    if (shortcuts(after) != shortcuts(*before)) {
        appState_.registerAllHotkeys();
    }
}

void ZoneEditor::addLayoutAndAssign(const Layout& layout) {
    appState_.store().upsert(layout);
    if (const auto display = editedDisplay()) {
        appState_.assignLayout(layout.id, *display);
    }
    selectedZoneID_ =
        layout.zones.empty() ? std::nullopt : std::optional<Uuid>(layout.zones.front().id);
}

// --- Zone operations ---

void ZoneEditor::beginEditZones() {
    beginEdit(localizer_.localized("Edit Zone"));
}

void ZoneEditor::setZones(std::vector<Zone> zones) {
    applyLayoutChange([&zones](Layout& layout) { layout.zones = std::move(zones); });
}

std::string ZoneEditor::zoneName(const std::optional<Layout>& layout) const {
    const auto number = layout ? static_cast<long long>(layout->zones.size()) + 1 : 1;
    return localizedFormat(localizer_, "Zone %lld", {std::to_string(number)});
}

void ZoneEditor::createZone(Zone drawn) {
    const auto layout = editedLayout();
    if (!layout) {
        return;
    }
    beginEdit(localizer_.localized("Add Zone"));
    drawn.id = Uuid::random();
    drawn.name = zoneName(layout);
    applyLayoutChange([&drawn](Layout& l) { l.zones.push_back(drawn); });
    selectedZoneID_ = drawn.id;
}

void ZoneEditor::addZone() {
    const auto layout = editedLayout();
    if (!layout) {
        return;
    }
    beginEdit(localizer_.localized("Add Zone"));
    Zone zone{Uuid::random(), zoneName(layout), 0.3, 0.3, 0.4, 0.4, std::nullopt};
    applyLayoutChange([&zone](Layout& l) { l.zones.push_back(zone); });
    selectedZoneID_ = zone.id;
}

void ZoneEditor::splitZone(const Uuid& zoneID, bool leftAndRight) {
    const auto layout = editedLayout();
    if (!layout) {
        return;
    }
    const auto it = std::find_if(layout->zones.begin(), layout->zones.end(),
                                 [&](const Zone& z) { return z.id == zoneID; });
    if (it == layout->zones.end()) {
        return;
    }
    const Zone zone = *it;
    const auto name = displayName(zone);
    // Both halves keep the shortcut: the conflict message shows until the user changes one.
    Zone first = zone;
    Zone second = zone;
    first.id = Uuid::random();
    second.id = Uuid::random();
    if (leftAndRight) {
        first.name = localizedFormat(localizer_, "%@ Left", {name});
        second.name = localizedFormat(localizer_, "%@ Right", {name});
        first.width = zone.width * 0.5;
        second.x = zone.x + zone.width * 0.5;
        second.width = zone.width - zone.width * 0.5;
    } else {
        first.name = localizedFormat(localizer_, "%@ Top", {name});
        second.name = localizedFormat(localizer_, "%@ Bottom", {name});
        first.height = zone.height * 0.5;
        second.y = zone.y + zone.height * 0.5;
        second.height = zone.height - zone.height * 0.5;
    }
    first = clamped(first, canvasMinimumZoneSize);
    second = clamped(second, canvasMinimumZoneSize);

    beginEdit(localizer_.localized("Split Zone"));
    applyLayoutChange([&](Layout& l) {
        auto position = std::find_if(l.zones.begin(), l.zones.end(),
                                     [&](const Zone& z) { return z.id == zoneID; });
        if (position == l.zones.end()) {
            return;
        }
        *position = first;
        l.zones.insert(position + 1, second);
    });
    selectedZoneID_ = first.id;
}

void ZoneEditor::deleteZone(const Uuid& zoneID) {
    if (!editedLayout()) {
        return;
    }
    beginEdit(localizer_.localized("Delete Zone"));
    applyLayoutChange([&zoneID](Layout& l) {
        std::erase_if(l.zones, [&zoneID](const Zone& z) { return z.id == zoneID; });
    });
    const auto layout = editedLayout();
    selectedZoneID_ = layout && !layout->zones.empty()
                          ? std::optional<Uuid>(layout->zones.front().id)
                          : std::nullopt;
}

bool ZoneEditor::canClear() const {
    const auto layout = editedLayout();
    return layout && !layout->zones.empty();
}

void ZoneEditor::clearZones() {
    if (!editedLayout()) {
        return;
    }
    beginEdit(localizer_.localized("Clear Zones"));
    applyLayoutChange([](Layout& l) { l.zones.clear(); });
    selectedZoneID_.reset();
}

void ZoneEditor::setShortcut(const Uuid& zoneID, std::optional<KeyCombo> shortcut) {
    if (!editedLayout()) {
        return;
    }
    beginEdit(localizer_.localized("Shortcut"));
    applyLayoutChange([&](Layout& l) {
        for (auto& zone : l.zones) {
            if (zone.id == zoneID) {
                zone.shortcut = shortcut;
            }
        }
    });
}

// --- Exact size ---

std::string ZoneEditor::exactSizeText(const Uuid& zoneID, ZoneEdge edge) const {
    const auto layout = editedLayout();
    if (!layout) {
        return {};
    }
    for (const auto& zone : layout->zones) {
        if (zone.id == zoneID) {
            return formatPercent(edgeValue(zone, edge), localizer_.language()) + "%";
        }
    }
    return {};
}

bool ZoneEditor::setExactSize(const Uuid& zoneID, ZoneEdge edge, std::string_view text) {
    const auto percent = parsePercent(text, localizer_.language());
    if (!percent) {
        return false;
    }
    setExactSize(zoneID, edge, *percent);
    return true;
}

namespace {
constexpr double exactSizeStep = 5;
constexpr double exactSizeMaximum = 100;
} // namespace

bool ZoneEditor::canStepExactSize(const Uuid& zoneID, ZoneEdge edge, bool up) const {
    const auto layout = editedLayout();
    if (!layout) {
        return false;
    }
    const auto it = std::find_if(layout->zones.begin(), layout->zones.end(),
                                 [&](const Zone& z) { return z.id == zoneID; });
    if (it == layout->zones.end()) {
        return false;
    }
    const double percent = edgeValue(*it, edge) * 100;
    return up ? percent < exactSizeMaximum : percent > 0;
}

void ZoneEditor::stepExactSize(const Uuid& zoneID, ZoneEdge edge, bool up) {
    if (!canStepExactSize(zoneID, edge, up)) {
        return;
    }
    const auto layout = editedLayout();
    const auto it = std::find_if(layout->zones.begin(), layout->zones.end(),
                                 [&](const Zone& z) { return z.id == zoneID; });
    const double percent = edgeValue(*it, edge) * 100 + (up ? exactSizeStep : -exactSizeStep);
    setExactSize(zoneID, edge, std::clamp(percent, 0.0, exactSizeMaximum));
}

void ZoneEditor::setExactSize(const Uuid& zoneID, ZoneEdge edge, double percent) {
    const auto layout = editedLayout();
    if (!layout || !std::isfinite(percent)) {
        return;
    }
    const auto it = std::find_if(layout->zones.begin(), layout->zones.end(),
                                 [&](const Zone& z) { return z.id == zoneID; });
    if (it == layout->zones.end()) {
        return;
    }
    auto zone = *it;
    edgeValue(zone, edge) = percent / 100;
    zone = clamped(zone, canvasMinimumZoneSize);
    // Re-committing the value a field already shows is no edit: no empty step to undo.
    if (zone == *it) {
        return;
    }
    beginEdit(localizer_.localized("Edit Zone"));
    applyLayoutChange([&zone](Layout& l) {
        for (auto& z : l.zones) {
            if (z.id == zone.id) {
                z = zone;
            }
        }
    });
}

// --- Renaming ---

std::string ZoneEditor::layoutNameText() const {
    const auto layout = editedLayout();
    return layout ? displayName(*layout) : std::string();
}

void ZoneEditor::renameLayout(std::string_view text) {
    // The unchanged text leaves a built-in name unstored, so it keeps following the language.
    if (!editedLayout() || text == layoutNameText()) {
        return;
    }
    applyLayoutChange([&text](Layout& l) { l.name = std::string(text); });
}

std::string ZoneEditor::zoneNameText(const Uuid& zoneID) const {
    const auto layout = editedLayout();
    if (!layout) {
        return {};
    }
    for (const auto& zone : layout->zones) {
        if (zone.id == zoneID) {
            return displayName(zone);
        }
    }
    return {};
}

void ZoneEditor::renameZone(const Uuid& zoneID, std::string_view text) {
    const auto layout = editedLayout();
    if (!layout) {
        return;
    }
    const auto it = std::find_if(layout->zones.begin(), layout->zones.end(),
                                 [&](const Zone& z) { return z.id == zoneID; });
    if (it == layout->zones.end() || text == displayName(*it)) {
        return;
    }
    applyLayoutChange([&](Layout& l) {
        for (auto& zone : l.zones) {
            if (zone.id == zoneID) {
                zone.name = std::string(text);
            }
        }
    });
}

// --- Layout operations ---

void ZoneEditor::chooseDisplay(const std::string& screenID) {
    appState_.setEditorScreenID(screenID);
    updateSelection();
}

void ZoneEditor::chooseLayout(const Uuid& layoutID) {
    // An assignment to a layout that isn't stored would only fall back to a built-in one.
    if (!storedLayout(layoutID)) {
        return;
    }
    if (const auto display = editedDisplay()) {
        appState_.assignLayout(layoutID, *display);
    }
    updateSelection();
}

void ZoneEditor::addLayoutFromTemplate(const LayoutPreset& preset) {
    showsPresets_ = false;
    addLayoutAndAssign(makeLayout(preset, localizer_));
}

void ZoneEditor::duplicateLayout(std::optional<Uuid> layoutID) {
    const auto source = layoutID ? storedLayout(*layoutID) : editedLayout();
    if (!source) {
        return;
    }
    Layout copy{Uuid::random(), localizedFormat(localizer_, "%@ Copy", {displayName(*source)}),
                source->zones};
    // Without the shortcuts the copy raises no conflict with the original.
    for (auto& zone : copy.zones) {
        zone.id = Uuid::random();
        zone.shortcut.reset();
    }
    addLayoutAndAssign(copy);
}

bool ZoneEditor::canDeleteLayout() const {
    return appState_.store().layouts().size() >= 2;
}

void ZoneEditor::requestLayoutDeletion(std::optional<Uuid> layoutID) {
    if (!canDeleteLayout() || (layoutID && !storedLayout(*layoutID))) {
        return;
    }
    if (layoutID) {
        chooseLayout(*layoutID);
    }
    confirmsLayoutDeletion_ = true;
}

std::string ZoneEditor::deletionTitle() const {
    const auto layout = editedLayout();
    return localizedFormat(localizer_, "Delete layout “%@”?",
                           {layout ? displayName(*layout) : std::string()});
}

std::string ZoneEditor::deletionMessage() const {
    return localizer_.localized(
        "Monitors using it switch to a built-in layout. This can’t be undone.");
}

std::string ZoneEditor::deletionButton() const {
    return localizer_.localized("Delete");
}

void ZoneEditor::confirmLayoutDeletion() {
    confirmsLayoutDeletion_ = false;
    const auto layout = editedLayout();
    // The button may outlive the condition it was enabled under.
    if (!layout || !canDeleteLayout()) {
        return;
    }
    appState_.store().deleteLayout(layout->id);
    appState_.registerAllHotkeys();
    // Earlier steps could bring the deleted layout back, or restore zones of layouts the
    // displays no longer show as the user remembers them.
    if (undoManager_ != nullptr) {
        undoManager_->removeAllActions(appState_.undoTarget());
    }
    const auto shown = editedLayout();
    selectedZoneID_ = shown && !shown->zones.empty() ? std::optional<Uuid>(shown->zones.front().id)
                                                     : std::nullopt;
}

// --- Selection upkeep ---

void ZoneEditor::updateSelection() {
    const auto layout = editedLayout();
    const auto layoutID = layout ? std::optional<Uuid>(layout->id) : std::nullopt;
    if (layoutID != selectionLayoutID_) {
        selectionLayoutID_ = layoutID;
        keepsNoSelection_ = false;
    }
    if (!layout || layout->zones.empty()) {
        selectedZoneID_.reset();
        return;
    }
    if (selectedZone() || (!selectedZoneID_ && keepsNoSelection_)) {
        return;
    }
    selectedZoneID_ = layout->zones.front().id;
}

// --- Monitors ---

std::string ZoneEditor::joinedList(const std::vector<std::string>& items) const {
    if (items.size() == 1) {
        return items.front();
    }
    if (items.size() == 2) {
        return localizedFormat(localizer_, "%@ and %@", {items[0], items[1]});
    }
    std::string head = items.front();
    for (std::size_t i = 1; i + 1 < items.size(); ++i) {
        head += ", " + items[i];
    }
    return localizedFormat(localizer_, "%@, and %@", {head, items.back()});
}

std::string ZoneEditor::monitorsText(const Uuid& layoutID) const {
    const auto screens = appState_.store().screensUsing(layoutID, appState_.screens());
    if (screens.empty()) {
        return localizer_.localized("not in use");
    }
    std::vector<std::string> names;
    names.reserve(screens.size());
    for (const auto& screen : screens) {
        names.push_back(screen.name);
    }
    return joinedList(names);
}

} // namespace tessera
