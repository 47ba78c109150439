#pragma once

#include "core/model/Signal.h"
#include "core/platform/Hotkeys.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace tessera {

// The system's hotkey table, simulated. A key combination is held by at most one registration:
// registering one that this process already holds, or one marked as taken by another
// application, fails with alreadyTaken. A press of a registered combination reaches every
// installed handler with the id it was registered under; a press of anything else reaches
// nobody (it would go to the application in front).
class SimHotkeys final : public Hotkeys {
public:
    struct Registration {
        HotkeyRef ref;
        std::uint32_t keyCode = 0;
        std::uint32_t carbonModifiers = 0;
        HotkeyID id;

        friend bool operator==(const Registration&, const Registration&) = default;
    };

    SimHotkeys() = default;
    SimHotkeys(const SimHotkeys&) = delete;
    SimHotkeys& operator=(const SimHotkeys&) = delete;

    // --- Hotkeys ---
    [[nodiscard]] Connection installHandler(std::function<void(HotkeyID)> handler) override;
    HotkeyRegistration registerHotkey(std::uint32_t keyCode, std::uint32_t carbonModifiers,
                                      HotkeyID id) override;
    // Unknown or already unregistered references are ignored (but counted).
    void unregisterHotkey(HotkeyRef ref) override;

    // --- Test side ---
    // Another application holds the combination from now on; our registrations of it fail.
    void markTakenByOtherApplication(std::uint32_t keyCode, std::uint32_t carbonModifiers);
    void releaseFromOtherApplication(std::uint32_t keyCode, std::uint32_t carbonModifiers);
    // The user presses the combination. True when it was registered by this process (whether or
    // not a handler was installed to hear it).
    bool press(std::uint32_t keyCode, std::uint32_t carbonModifiers);
    // Makes the next registration fail with this status, whatever the combination.
    void failNextRegistration(HotkeyStatus status) { nextFailure_ = status; }

    // --- Inspection ---
    // Live registrations, in the order they were made.
    const std::vector<Registration>& registrations() const { return registrations_; }
    // Their ids (without signature), in the same order.
    std::vector<std::uint32_t> registeredIDs() const;
    // The id registered for a combination, if any.
    std::optional<HotkeyID> registeredID(std::uint32_t keyCode,
                                         std::uint32_t carbonModifiers) const;
    // Every call, successful or not.
    std::size_t registerCount() const { return registerCount_; }
    std::size_t unregisterCount() const { return unregisterCount_; }
    // Handlers ever installed, and those still connected.
    std::size_t installCount() const { return installCount_; }
    std::size_t installedHandlerCount() const { return handlers_.slotCount(); }

private:
    Signal<HotkeyID> handlers_;
    std::vector<Registration> registrations_;
    std::set<std::pair<std::uint32_t, std::uint32_t>> takenElsewhere_;
    std::optional<HotkeyStatus> nextFailure_;
    std::uint64_t nextRef_ = 1;
    std::size_t registerCount_ = 0;
    std::size_t unregisterCount_ = 0;
    std::size_t installCount_ = 0;
};

} // namespace tessera
