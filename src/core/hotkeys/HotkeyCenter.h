#pragma once

#include "../model/Records.h"
#include "../model/Screens.h"
#include "../model/Signal.h"
#include "../model/Uuid.h"
#include "../placement/WindowCommand.h"
#include "../platform/Hotkeys.h"
#include "../platform/ProcessId.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace tessera {

class Accessibility;
class AccessibilityWindowMover;
class Defaults;
class Displays;
class LayoutStore;
class Localizer;
class Workspace;

// The process's one hotkey handler. The platform delivers every hotkey press of the process to
// a single handler that lives as long as the process, whereas hotkey centers come and go with
// the Accessibility permission. This object sits between the two: it installs the handler with
// the platform the first time a center asks for it, never again, and forwards each press to the
// center attached at that moment, so a press can never reach a center that is gone. Whoever
// builds the application state owns it, hands it to every center and keeps it longer than any
// of them; destroying it ends the platform handler.
class HotkeyDispatcher {
public:
    explicit HotkeyDispatcher(Hotkeys& hotkeys);
    HotkeyDispatcher(const HotkeyDispatcher&) = delete;
    HotkeyDispatcher& operator=(const HotkeyDispatcher&) = delete;
    ~HotkeyDispatcher();

    Hotkeys& hotkeys() const { return hotkeys_; }

    // Installs the platform handler unless that has happened already; later calls do nothing.
    void install();
    bool isInstalled() const;

    // Presses go to this target from now on, replacing any earlier one, until the connection
    // ends. Ending a connection that has since been replaced leaves the newer target alone.
    [[nodiscard]] Connection attach(std::function<void(std::uint32_t id)> target);
    bool hasTarget() const;

private:
    struct State;
    Hotkeys& hotkeys_;
    std::shared_ptr<State> state_;
};

// The application to act on when Tessera itself is in front; nothing when there is none.
using PreferredProcessProvider = std::function<std::optional<ProcessId>()>;

// The display a zone of this layout is placed on when only the zone is named (a shortcut, a
// script): among the displays that show the layout, the one under the pointer, else the first;
// when none shows it, the one under the pointer, else the first display. Nothing without
// displays. Where the window lies plays no part.
std::optional<SystemDisplay> displayForLayout(const Uuid& layoutID, const LayoutStore& store,
                                              const Displays& displays);

// A zone hotkey's target: the zone and the layout it belongs to.
struct ZoneHotkeyTarget {
    Uuid layoutID;
    Uuid zoneID;

    friend bool operator==(const ZoneHotkeyTarget&, const ZoneHotkeyTarget&) = default;
};

// The shortcuts another program holds: the system refused them as taken while none of
// Tessera's own registrations had their keys. Such a shortcut does nothing until the other
// program lets the keys go, so the interface says so instead of showing it as working. A
// shortcut that loses its keys to another of Tessera's own (the earlier registration keeps
// them) is not in here: the conflict messages cover that.
struct ShortcutsHeldElsewhere {
    // In case order.
    std::vector<WindowCommand> commands;
    // In registration order (layouts in store order, zones in zone order).
    std::vector<ZoneHotkeyTarget> zones;
    // Each refused combination once, in the order of the first refusal, as it was stored.
    std::vector<KeyCombo> combinations;

    bool empty() const { return commands.empty() && zones.empty(); }
    bool holds(WindowCommand command) const;
    bool holdsZone(const Uuid& layoutID, const Uuid& zoneID) const;

    friend bool operator==(const ShortcutsHeldElsewhere&, const ShortcutsHeldElsewhere&) = default;
};

// Registers a global hotkey for every zone that carries a shortcut (in every layout, whether a
// display shows it or not) and for every window command that has one, and turns a press into a
// placement of the active window. There is at most one center at a time; the application state
// creates it while Accessibility is granted.
//
// Lifecycle: construct, set the preferred process provider, installHandler(), registerAll().
// Before dropping a center the application state calls unregisterAll(); the destructor
// unregisters whatever is still registered as well, so a dropped center never leaves key
// combinations taken.
class HotkeyCenter {
public:
    // First command id; a command's id adds its case index (fillScreen 0xFFFF0000 ...
    // nextDisplay 0xFFFF0006). Zone ids count up from 1 and stay far below it.
    static constexpr std::uint32_t commandIDBase = 0xFFFF0000;

    using ZoneTarget = ZoneHotkeyTarget;

    // Every reference must outlive the center. Registrations go to the dispatcher's Hotkeys
    // port. Nothing is installed or registered yet.
    HotkeyCenter(HotkeyDispatcher& dispatcher, LayoutStore& store, AccessibilityWindowMover& mover,
                 Accessibility& accessibility, Workspace& workspace, Displays& displays,
                 const Defaults& defaults, const Localizer& localizer, ProcessId ownPID);
    HotkeyCenter(const HotkeyCenter&) = delete;
    HotkeyCenter& operator=(const HotkeyCenter&) = delete;
    ~HotkeyCenter();

    ProcessId ownPID() const { return ownPID_; }

    // Consulted at every press and command, never cached. Initially answers nothing; an empty
    // function counts as answering nothing.
    void setPreferredForeignPID(PreferredProcessProvider provider);
    std::optional<ProcessId> preferredForeignPID() const;

    // Makes this center the receiver of hotkey presses, installing the process's handler if no
    // center did before. Calling it again does nothing.
    void installHandler();
    bool hasHandler() const { return handler_.has_value(); }

    // Drops every registration, then, unless suspended, registers zone shortcuts (layouts in
    // store order, zones in zone order) and then command shortcuts (case order, each command's
    // effective shortcut read afresh). A refused combination is skipped and consumes no zone id,
    // so an earlier registration keeps a contested combination; one refused because another
    // program holds it is remembered in heldElsewhere. While suspended that record stays as the
    // last real registration left it.
    void registerAll();
    // Unregisters every hotkey and forgets every id; nextID is left as it is.
    void unregisterAll();

    // While suspended registerAll registers nothing, so presses reach the shortcut recorder.
    // Changing it does not re-register by itself: the caller runs registerAll afterwards.
    bool isSuspended() const { return isSuspended_; }
    void setSuspended(bool suspended) { isSuspended_ = suspended; }

    // Runs one window command on the active window (the preferred process stands in when
    // Tessera is in front). The outcome is not reported.
    void perform(WindowCommand command);

    // One pressed hotkey: a command id runs its command; a zone id places the active window into
    // that zone, using the zone's own layout, on the display chosen by chooseDisplay. Ids that
    // name nothing any more are ignored.
    void handleHotkey(std::uint32_t id);

    // The display a zone hotkey of this layout acts on (displayForLayout).
    std::optional<SystemDisplay> chooseDisplay(const Uuid& layoutID) const;

    // What the last registration that was not suspended found held by other programs.
    const ShortcutsHeldElsewhere& heldElsewhere() const { return heldElsewhere_; }
    // Called just before heldElsewhere changes, and only when it does.
    [[nodiscard]] Connection onHeldElsewhereWillChange(std::function<void()> observer) {
        return heldElsewhereWillChange_.connect(std::move(observer));
    }

    // What is registered now, for inspection.
    const std::map<std::uint32_t, ZoneTarget>& zoneHotkeys() const { return map_; }
    const std::map<std::uint32_t, WindowCommand>& commandHotkeys() const { return commands_; }
    // One reference per successful registration, in registration order.
    const std::vector<std::optional<HotkeyRef>>& refs() const { return refs_; }
    // The id the next registered zone gets; 1 after every registerAll that registered no zone.
    std::uint32_t nextID() const { return nextID_; }

private:
    HotkeyStatus registerCombo(std::uint32_t keyCode, std::uint32_t carbonModifiers,
                               std::uint32_t id);

    HotkeyDispatcher& dispatcher_;
    Hotkeys& hotkeys_;
    LayoutStore& store_;
    AccessibilityWindowMover& mover_;
    Accessibility& accessibility_;
    Workspace& workspace_;
    Displays& displays_;
    const Defaults& defaults_;
    const Localizer& localizer_;
    ProcessId ownPID_;
    PreferredProcessProvider preferredForeignPID_;
    std::optional<Connection> handler_;
    std::vector<std::optional<HotkeyRef>> refs_;
    std::map<std::uint32_t, ZoneTarget> map_;
    std::map<std::uint32_t, WindowCommand> commands_;
    std::uint32_t nextID_ = 1;
    bool isSuspended_ = false;
    ShortcutsHeldElsewhere heldElsewhere_;
    Signal<> heldElsewhereWillChange_;
};

} // namespace tessera
