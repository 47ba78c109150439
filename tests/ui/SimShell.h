#pragma once

// A whole Tessera shell on the simulated desktop: every port, the application state and the
// view models, in a fresh folder. The view-model tests and the QML tests build the same one.

#include "ApplicationCatalog.h"
#include "Shell.h"

#include "../unit/TempDir.h"
#include "core/app/AppState.h"
#include "core/hotkeys/HotkeyCenter.h"
#include "core/model/StringTables.h"
#include "platform/sim/SimAppServices.h"
#include "platform/sim/SimDefaults.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimHotkeys.h"
#include "platform/sim/SimInputEvents.h"
#include "platform/sim/SimLocalizer.h"
#include "platform/sim/SimLog.h"
#include "platform/sim/SimLoginItem.h"
#include "platform/sim/SimOverlaySurface.h"
#include "platform/sim/SimScheduler.h"

#include <QObject>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tessera::test {

// Installed applications the test declares.
class FakeCatalog final : public shell::ApplicationCatalog {
public:
    void add(shell::CatalogEntry entry) {
        entries_.push_back(std::move(entry));
        std::ranges::sort(entries_, [](const auto& a, const auto& b) {
            return a.name.localeAwareCompare(b.name) < 0;
        });
    }
    std::optional<shell::CatalogEntry> find(const QString& identifier) const override {
        const auto found =
            std::ranges::find(entries_, identifier, &shell::CatalogEntry::identifier);
        return found == entries_.end() ? std::nullopt : std::optional(*found);
    }
    std::vector<shell::CatalogEntry> applications() const override { return entries_; }

private:
    std::vector<shell::CatalogEntry> entries_;
};

struct SimShellOptions {
    std::string language = "en";
    // Both permissions granted unless a test says otherwise.
    bool accessibility = true;
    bool inputMonitoring = true;
    // Draws the overlay instead of the recording panels (real windows, for the screenshots);
    // must outlive the shell.
    OverlaySurfaceFactory* overlaySurfaces = nullptr;
};

class SimShell {
public:
    explicit SimShell(SimShellOptions options = {});
    ~SimShell();
    SimShell(const SimShell&) = delete;
    SimShell& operator=(const SimShell&) = delete;

    // start() on the state, with the first permission delivery handed on.
    void start();

    UserFolders folders() const;

    TempDir temp{"tessera-ui"};
    SimDesktop desktop;
    SimInputEvents input{desktop.displays()};
    SimHotkeys hotkeyPort;
    HotkeyDispatcher dispatcher{hotkeyPort};
    SimScheduler scheduler;
    SimLog log;
    SimDefaults defaults;
    TableLocalizer localizer;
    SimLoginItem loginItem;
    SimAppServices services;
    SimOverlaySurfaceFactory surfaces;
    FakeCatalog catalog;
    int quitRequests = 0;
    std::unique_ptr<AppState> state;
    std::unique_ptr<shell::Shell> shell;
};

} // namespace tessera::test
