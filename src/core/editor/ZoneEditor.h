#pragma once

#include "../model/Records.h"
#include "../model/Uuid.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessera {

class AppState;
class Localizer;
class UndoManager;
struct LayoutPreset;

// Numbers typed into and shown by the editor's percent fields follow the interface language,
// not the process's C locale: the decimal separator is "," for Russian, French, Spanish, Greek
// and German and "." for English (and any language not known here). A regional variant
// ("de-CH", "fr_CA") counts as its language.
char decimalSeparator(std::string_view language);
// round(fraction × 1000) / 10 with zero or one fraction digits ("50", "33.3", "33,3").
std::string formatPercent(double fraction, std::string_view language);
// The number of a percent field: surrounding spaces and one trailing "%" are allowed, the
// decimal separator is the language's. Nothing for any other text, or for a number that is not
// finite.
std::optional<double> parsePercent(std::string_view text, std::string_view language);

// The four exact-size fields of the inspector.
enum class ZoneEdge { left, top, width, height };

// The operations of the "Zones" page, without any drawing: which display and layout are edited,
// what is selected, and every change the page makes to the store. The view reads everything from
// here each time it draws and calls the operations; nothing is cached but the view states.
//
// Zone edits are undoable step by step through the window's undo manager (none disables undo
// steps); each step restores the whole layout as it was. Layout operations are not undoable.
// The state, the localizer and the undo manager must outlive the editor.
class ZoneEditor {
public:
    ZoneEditor(AppState& appState, const Localizer& localizer, UndoManager* undoManager);

    // --- Derived values ---
    // The display whose id is the state's editorScreenID, else the first display.
    std::optional<ScreenInfo> editedDisplay() const;
    // The layout of the edited display; with no display, the store's first layout.
    std::optional<Layout> editedLayout() const;
    std::optional<Zone> selectedZone() const;
    // The localized built-in name of unchanged built-in layouts and zones, else the stored name.
    std::string displayName(const Layout& layout) const;
    std::string displayName(const Zone& zone) const;

    // --- View state ---
    const std::optional<Uuid>& selectedZoneID() const { return selectedZoneID_; }
    // The user's choice (a click on a zone or on empty space). Clearing it on purpose is kept by
    // updateSelection while the same layout is shown.
    void setSelectedZoneID(std::optional<Uuid> zoneID) {
        keepsNoSelection_ = !zoneID;
        selectedZoneID_ = std::move(zoneID);
    }
    bool confirmsLayoutDeletion() const { return confirmsLayoutDeletion_; }
    bool showsPresets() const { return showsPresets_; }
    void setShowsPresets(bool shown) { showsPresets_ = shown; }
    bool showsGridPicker() const { return showsGridPicker_; }
    void setShowsGridPicker(bool shown) { showsGridPicker_ = shown; }

    // --- Building blocks ---
    // Records an undo step restoring the edited layout as stored now, named with the action name
    // (already localized). Called once before each undoable change, before the layout is
    // modified.
    void beginEdit(std::string_view actionName);
    // Saves the edited layout with the change applied; nothing when it leaves id, name and zones
    // as they were. The shortcuts are registered again only when the list of the zones'
    // shortcuts changed.
    void applyLayoutChange(const std::function<void(Layout&)>& change);
    // Saves a new layout, shows it on the edited display and selects its first zone.
    void addLayoutAndAssign(const Layout& layout);

    // --- Zone operations (undoable) ---
    // The canvas's zones binding: a move, resize or nudge the canvas began with beginEditZones.
    void beginEditZones();
    void setZones(std::vector<Zone> zones);
    // A zone drawn on the canvas: gets a fresh id and the name "Zone n".
    void createZone(Zone drawn);
    // The "Add Zone" button.
    void addZone();
    // Replaces the zone by its left and right halves (true) or top and bottom halves.
    void splitZone(const Uuid& zoneID, bool leftAndRight);
    void deleteZone(const Uuid& zoneID);
    // The "Clear" button, enabled while the edited layout has zones.
    bool canClear() const;
    void clearZones();
    void setShortcut(const Uuid& zoneID, std::optional<KeyCombo> shortcut);

    // --- Exact size ---
    // The field's text, or empty when the zone is not in the edited layout.
    std::string exactSizeText(const Uuid& zoneID, ZoneEdge edge) const;
    // A committed field: false (and nothing changed) when the text is not a number.
    bool setExactSize(const Uuid& zoneID, ZoneEdge edge, std::string_view text);
    // A value in percent.
    void setExactSize(const Uuid& zoneID, ZoneEdge edge, double percent);
    // The field's stepper: 5 percent up or down within 0 to 100. It can move while the value is
    // below 100 (up) or above 0 (down); never for a zone not in the edited layout.
    bool canStepExactSize(const Uuid& zoneID, ZoneEdge edge, bool up) const;
    void stepExactSize(const Uuid& zoneID, ZoneEdge edge, bool up);

    // --- Renaming (no undo step) ---
    std::string layoutNameText() const;
    void renameLayout(std::string_view text);
    std::string zoneNameText(const Uuid& zoneID) const;
    void renameZone(const Uuid& zoneID, std::string_view text);

    // --- Layout operations (not undoable) ---
    // Makes the display with this id the edited one.
    void chooseDisplay(const std::string& screenID);
    // Shows the layout on the edited display; nothing for a layout the store doesn't hold.
    void chooseLayout(const Uuid& layoutID);
    // A template picked in the template sheet, which closes.
    void addLayoutFromTemplate(const LayoutPreset& preset);
    // The edited layout, or the layout of a card's menu.
    void duplicateLayout(std::optional<Uuid> layoutID = std::nullopt);
    // "Delete…" is disabled while the store holds fewer than 2 layouts.
    bool canDeleteLayout() const;
    // Shows the confirmation; from a card's menu the card's layout becomes the edited one first.
    // Nothing for a layout the store doesn't hold.
    void requestLayoutDeletion(std::optional<Uuid> layoutID = std::nullopt);
    std::string deletionTitle() const;
    std::string deletionMessage() const;
    std::string deletionButton() const;
    void cancelLayoutDeletion() { confirmsLayoutDeletion_ = false; }
    // Deletes the edited layout and drops every undo step of the application state.
    void confirmLayoutDeletion();

    // --- Selection upkeep ---
    // To be called whenever the edited layout may have changed (display, layout, undo, store):
    // a selection no longer in it moves to its first zone, or none. No selection moves to the
    // first zone too, unless the user cleared it while this layout was shown: a click on empty
    // space must leave nothing selected.
    void updateSelection();

    // The "Monitors" row: the names of the displays showing the layout as a localized list, or
    // "not in use".
    std::string monitorsText(const Uuid& layoutID) const;

private:
    std::optional<Layout> storedLayout(const Uuid& layoutID) const;
    std::string zoneName(const std::optional<Layout>& layout) const;
    std::string joinedList(const std::vector<std::string>& items) const;

    AppState& appState_;
    const Localizer& localizer_;
    UndoManager* undoManager_;
    std::optional<Uuid> selectedZoneID_;
    bool keepsNoSelection_ = false;
    // The layout the selection was last kept in.
    std::optional<Uuid> selectionLayoutID_;
    bool confirmsLayoutDeletion_ = false;
    bool showsPresets_ = false;
    bool showsGridPicker_ = false;
};

} // namespace tessera
