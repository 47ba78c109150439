#include "SimShell.h"

namespace tessera::test {

SimShell::SimShell(SimShellOptions options)
    : localizer(makeSimLocalizer(options.language)),
      services(folders(), 42, "app.tessera.Tessera") {
    desktop.setTrusted(options.accessibility);
    input.setListenEventAccess(options.inputMonitoring);
    OverlaySurfaceFactory& overlay = options.overlaySurfaces
                                         ? *options.overlaySurfaces
                                         : static_cast<OverlaySurfaceFactory&>(surfaces);
    const AppPorts ports{desktop, desktop,  desktop.displays(), input,     dispatcher, scheduler,
                         log,     defaults, localizer,          loginItem, services,   overlay};
    state = std::make_unique<AppState>(ports, temp.path() / "data" / "Tessera" / "layouts.json");
    // Key presses made in Tessera's own windows go to the local monitors.
    shell = std::make_unique<shell::Shell>(
        shell::ShellPorts{*state, defaults, localizer, input, desktop, scheduler, catalog,
                          shell::ShellHooks{[this] { ++quitRequests; },
                                            [this](const MonitorEvent& event) {
                                                return event.type == InputEventType::keyDown &&
                                                       input.sendToLocalMonitors(event);
                                            }}});
}

SimShell::~SimShell() {
    shell.reset();
    state.reset();
}

void SimShell::start() {
    state->start();
    scheduler.runPending();
}

UserFolders SimShell::folders() const {
    return {temp.path() / "home", temp.path() / "data", temp.path() / "config", temp.path() / "tmp",
            std::nullopt};
}

} // namespace tessera::test
