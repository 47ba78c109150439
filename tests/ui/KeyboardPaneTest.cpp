#include "KeyboardPaneModel.h"
#include "MenuViewModel.h"
#include "Preferences.h"
#include "QtTestSupport.h"
#include "ShortcutRecorderModel.h"
#include "SimShell.h"
#include "ZonesPageModel.h"

#include "core/placement/CommandShortcuts.h"
#include "core/store/DisplayNames.h"
#include "core/store/LayoutStore.h"

#include <QSignalSpy>

#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tessera::test {
namespace {

using shell::KeyboardPaneModel;
using shell::ShortcutRecorderModel;

constexpr int ctrlAlt = Qt::ControlModifier | Qt::AltModifier;
constexpr std::uint32_t controlOption = 0x1800;
constexpr std::uint32_t controlOptionCommand = 0x1900;
constexpr std::uint16_t kKey = 40;
constexpr std::uint16_t leftArrow = 123;
constexpr std::uint16_t rightArrow = 124;

// The record kept under "shortcut.<command>", if the preferences hold one.
std::optional<StoredShortcut> storedRecord(const Defaults& defaults, const std::string& command) {
    const auto domain = defaults.persistentDomain();
    const auto found = domain.find("shortcut." + command);
    if (found == domain.end()) {
        return std::nullopt;
    }
    const auto* bytes = std::get_if<Bytes>(&found->second);
    if (bytes == nullptr) {
        return StoredShortcut{};
    }
    const auto decoded = decodeStoredShortcut(*bytes);
    return decoded.value.value_or(StoredShortcut{});
}

ShortcutRecorderModel& recorderOf(KeyboardPaneModel& pane, WindowCommand command) {
    return *pane.recorder(command);
}

// --- Key presses in the window as the local monitors see them ---

struct QtKeyCase {
    int key;
    quint32 keysym;
    int modifiers;
    std::uint16_t keyCode;
    std::uint64_t flags;
};

TEST(KeyboardPaneKeys, QtKeysAndKeysymsTranslateToStoredKeyCodesAndFlags) {
    using namespace eventFlags;
    const QtKeyCase cases[] = {
        {Qt::Key_K, 0, ctrlAlt, kKey, control | option},
        {Qt::Key_Left, 0, ctrlAlt | Qt::MetaModifier | Qt::KeypadModifier, leftArrow,
         control | option | command},
        {Qt::Key_A, 0, Qt::ShiftModifier, 0, shift},
        // Named keys: the key code table, not the Qt value, decides.
        {Qt::Key_Escape, 0, 0, 53, 0},
        {Qt::Key_F5, 0, 0, 96, 0},
        {Qt::Key_Backtab, 0, 0, 48, 0},
        // The keypad's 5 is a key of its own, not the 5 of the main keyboard.
        {Qt::Key_5, 0, Qt::KeypadModifier, 0x57, 0},
        // Modifier keys on their own reach the recorder as the modifier codes it ignores.
        {Qt::Key_Shift, 0, Qt::ShiftModifier, 56, shift},
        // On X11 Qt's native virtual key is the keysym, with Shift already applied: Shift+1 is
        // "exclam" to X and to Qt, the shortcut is Shift and the key 1.
        {Qt::Key_K, XK_k, ctrlAlt, kKey, control | option},
        {Qt::Key_Right, XK_Right, Qt::MetaModifier, rightArrow, command},
        {Qt::Key_Exclam, XK_exclam, Qt::ShiftModifier, 18, shift},
        // The keysym wins over Qt's key: the keypad key with Num Lock off is still the keypad's.
        {Qt::Key_Home, XK_KP_Home, Qt::KeypadModifier, 0x59, 0},
        // A keysym no US key makes (another layout's letter) falls back to Qt's key.
        {Qt::Key_F3, XK_Cyrillic_ka, 0, 99, 0},
    };
    for (const auto& c : cases) {
        const auto event = shell::keyDownFromQt(c.key, c.keysym, c.modifiers);
        ASSERT_TRUE(event) << c.key;
        EXPECT_EQ(event->type, InputEventType::keyDown);
        EXPECT_EQ(event->keyCode, c.keyCode) << c.key;
        EXPECT_EQ(event->modifierFlags, c.flags) << c.key;
    }
    EXPECT_FALSE(shell::keyDownFromQt(Qt::Key_unknown, 0, 0));
    EXPECT_FALSE(shell::keyDownFromQt(Qt::Key_LaunchMail, 0, Qt::ControlModifier));
    EXPECT_FALSE(shell::keyDownFromQt(0x41B, XK_Cyrillic_el, 0));
}

// --- The pane (what tst_keyboard.qml can't see: the stored record, the hotkeys, failures) ---

TEST(KeyboardPane, RecordingSuspendsTheHotkeysStoresTheComboAndRegistersItOnceResumed) {
    SimShell sim;
    sim.start();
    auto& pane = sim.shell->keyboardPane();
    auto& recorder = recorderOf(pane, WindowCommand::zoneLeft);
    auto& other = recorderOf(pane, WindowCommand::zoneDown);
    const auto registered = sim.hotkeyPort.registrations().size();

    // Starting one recorder stops another; Escape and a second click stop without recording.
    for (const auto& stop : std::vector<std::function<void()>>{
             [&] { recorder.click(); },
             [&] { EXPECT_TRUE(other.keyPressed(Qt::Key_Escape, XK_Escape, 0)); },
             [&] { other.click(); }}) {
        EXPECT_GE(emissions(&other, &ShortcutRecorderModel::changed, [&] { other.click(); }), 1);
        ASSERT_TRUE(other.listening());
        // Suspended: the shortcuts in use reach the recorder instead of moving windows.
        EXPECT_TRUE(sim.state->hotkeys()->isSuspended());
        EXPECT_TRUE(sim.hotkeyPort.registrations().empty());
        stop();
        EXPECT_FALSE(other.listening());
        EXPECT_FALSE(storedRecord(sim.defaults, "zoneDown"));
    }
    recorder.stopListening();
    EXPECT_FALSE(sim.state->hotkeys()->isSuspended());
    EXPECT_EQ(sim.hotkeyPort.registrations().size(), registered);

    // A modifier on its own, and what is left unrecorded: tst_keyboard.qml.
    recorder.click();
    QSignalSpy preferencesChanged(&sim.shell->preferences(), &shell::Preferences::changed);
    EXPECT_GE(emissions(&pane, &KeyboardPaneModel::changed,
                        [&] { EXPECT_TRUE(recorder.keyPressed(Qt::Key_K, 0, ctrlAlt)); }),
              1);
    EXPECT_FALSE(sim.state->hotkeys()->isSuspended());
    const auto stored = storedRecord(sim.defaults, "zoneLeft");
    ASSERT_TRUE(stored && stored->combo);
    EXPECT_EQ(*stored->combo, (KeyCombo{kKey, controlOption, "⌃⌥K"}));
    EXPECT_TRUE(std::ranges::any_of(preferencesChanged, [](const QList<QVariant>& arguments) {
        return arguments.at(0).toString() == "shortcut.zoneLeft";
    })) << "controls bound to the preference were not told";
    // Registered again: the new combination, and no longer the old default.
    EXPECT_TRUE(sim.hotkeyPort.registeredID(kKey, controlOption));
    EXPECT_FALSE(sim.hotkeyPort.registeredID(leftArrow, controlOption));
    EXPECT_TRUE(sim.hotkeyPort.registeredID(rightArrow, controlOption));
    EXPECT_FALSE(recorder.keyPressed(Qt::Key_K, 0, ctrlAlt)) << "swallowed while not listening";
}

TEST(KeyboardPane, AZoneTakingACommandsShortcutShowsUpOnceTheStoreChanged) {
    SimShell sim;
    sim.start();
    auto& pane = sim.shell->keyboardPane();
    auto layout = sim.state->store().layouts().front();
    auto& zone = layout.zones.front();
    zone.shortcut = KeyCombo{rightArrow, controlOptionCommand, "⌃⌥⌘→"};
    EXPECT_GE(
        emissions(&pane, &KeyboardPaneModel::changed, [&] { sim.state->store().upsert(layout); }),
        1);
    EXPECT_EQ(pane.conflicts().value("nextDisplay").toString().toStdString(),
              "Already used by “" + displayName(zone.id, zone.name, sim.localizer) + "” in “" +
                  displayName(layout.id, layout.name, sim.localizer) +
                  "”. Only one of them will work.");
}

// The pane's and the overview's marks: tst_keyboard.qml and tst_overview.qml.
TEST(KeyboardPane, AShortcutAnotherProgramHoldsIsMarkedInTheMenuAndInspectorUntilReplaced) {
    SimShell sim;
    sim.hotkeyPort.markTakenByOtherApplication(leftArrow, controlOption);
    sim.start();
    auto& zones = sim.shell->zonesPage();
    const auto menuEntry = [&] { return *sim.shell->menu().content().find("command.zoneLeft"); };
    processEvents();
    // The menu shows no key equivalent that would not work.
    EXPECT_EQ(menuEntry().shortcut, std::nullopt);
    EXPECT_EQ(menuEntry().note, "Another application uses Ctrl+Alt+←.");

    // A zone's shortcut held elsewhere shows in its inspector.
    auto layout = *std::ranges::find(sim.state->store().layouts(),
                                     *Uuid::parse(zones.layoutID().toStdString()), &Layout::id);
    layout.zones.front().shortcut = KeyCombo{kKey, controlOptionCommand, "⌃⌥⌘K"};
    sim.hotkeyPort.markTakenByOtherApplication(kKey, controlOptionCommand);
    sim.state->applyLayoutChange(layout, "Shortcut", nullptr);
    zones.setSelectedZoneID(QString::fromStdString(layout.zones.front().id.string()));
    processEvents();
    EXPECT_EQ(zones.zoneHeldElsewhereMessage(),
              "Another application uses this shortcut, so it does nothing in Tessera.");

    // Recording another shortcut for the command takes the mark away.
    auto& recorder = recorderOf(sim.shell->keyboardPane(), WindowCommand::zoneLeft);
    recorder.click();
    recorder.keyPressed(Qt::Key_K, 0, ctrlAlt);
    processEvents();
    ASSERT_TRUE(menuEntry().shortcut);
    EXPECT_EQ(menuEntry().note, "");
}

// What the restored recorders show and store: tst_keyboard.qml.
TEST(KeyboardPane, ShortcutsRestoredOrWrittenElsewhereReachTheRecordersAndTheHotkeys) {
    SimShell sim;
    sim.start();
    auto& pane = sim.shell->keyboardPane();
    auto& up = recorderOf(pane, WindowCommand::zoneUp);
    auto& down = recorderOf(pane, WindowCommand::zoneDown);
    up.click();
    up.keyPressed(Qt::Key_F5, 0, 0);
    down.removeShortcut();
    recorderOf(pane, WindowCommand::nextDisplay).removeShortcut();
    ASSERT_FALSE(sim.hotkeyPort.registeredID(rightArrow, controlOptionCommand));

    // An import or the menu writing the same preference.
    EXPECT_GE(emissions(&down, &ShortcutRecorderModel::changed,
                        [&] { sim.shell->preferences().remove("shortcut.zoneDown"); }),
              1);
    EXPECT_EQ(down.label(), "Ctrl+Alt+↓");

    EXPECT_GE(emissions(&up, &ShortcutRecorderModel::changed,
                        [&] { EXPECT_TRUE(pane.restoreDefaults()); }),
              1);
    EXPECT_EQ(up.label(), "Ctrl+Alt+↑");
    EXPECT_TRUE(sim.hotkeyPort.registeredID(rightArrow, controlOptionCommand));
    EXPECT_TRUE(sim.hotkeyPort.registeredID(126, controlOption));
    EXPECT_FALSE(sim.hotkeyPort.registeredID(96, 0));
}

TEST(KeyboardPane, RecordingWorksWithoutAHotkeyCenterAndSaysWhenSavingFailed) {
    SimShell sim({.accessibility = false});
    sim.start();
    ASSERT_EQ(sim.state->hotkeys(), nullptr);
    auto& pane = sim.shell->keyboardPane();
    auto& fill = recorderOf(pane, WindowCommand::fillScreen);

    sim.defaults.failWrites(true);
    fill.click();
    EXPECT_TRUE(fill.keyPressed(Qt::Key_K, 0, ctrlAlt));
    EXPECT_EQ(fill.label(), "Ctrl+Alt+K") << "kept for this run";
    EXPECT_FALSE(pane.lastError().isEmpty());
    EXPECT_TRUE(sim.hotkeyPort.registrations().empty());

    sim.defaults.failWrites(false);
    fill.click();
    fill.keyPressed(Qt::Key_J, 0, ctrlAlt);
    EXPECT_TRUE(pane.lastError().isEmpty());
    const auto stored = storedRecord(sim.defaults, "fillScreen");
    ASSERT_TRUE(stored && stored->combo);
    EXPECT_EQ(stored->combo->keyCode, 38U);
}

} // namespace
} // namespace tessera::test
