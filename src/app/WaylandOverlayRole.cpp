#include "WaylandOverlayRole.h"

#include "plasma-shell-client-protocol.h"

#include <QGuiApplication>
#include <QWindow>
// Qt 6.4 hands out its Wayland display, compositor and surfaces only here (6.5 adds
// QNativeInterface::QWaylandApplication).
#include <qpa/qplatformnativeinterface.h>

#include <wayland-client.h>

#include <algorithm>
#include <cstring>
#include <iostream>
#include <map>

namespace tessera::shell {

namespace {

// set_skip_switcher came with version 5.
constexpr std::uint32_t skipSwitcherVersion = 5;

} // namespace

struct WaylandOverlayRole::Globals {
    wl_display* display = nullptr;
    wl_compositor* compositor = nullptr;
    // Our own queue, so binding the shell never dispatches the events Qt waits for.
    wl_event_queue* queue = nullptr;
    wl_registry* registry = nullptr;
    org_kde_plasma_shell* plasmaShell = nullptr;
    std::uint32_t plasmaShellVersion = 0;
    std::map<const QWindow*, org_kde_plasma_surface*> surfaces;

    ~Globals() {
        for (const auto& [window, surface] : surfaces) {
            org_kde_plasma_surface_destroy(surface);
        }
        if (plasmaShell != nullptr) {
            org_kde_plasma_shell_destroy(plasmaShell);
        }
        if (registry != nullptr) {
            wl_registry_destroy(registry);
        }
        if (queue != nullptr) {
            wl_event_queue_destroy(queue);
        }
    }

    static void global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t version) {
        auto* self = static_cast<Globals*>(data);
        if (self->plasmaShell == nullptr &&
            std::strcmp(interface, org_kde_plasma_shell_interface.name) == 0) {
            self->plasmaShellVersion = std::min<std::uint32_t>(version, skipSwitcherVersion);
            self->plasmaShell = static_cast<org_kde_plasma_shell*>(wl_registry_bind(
                registry, name, &org_kde_plasma_shell_interface, self->plasmaShellVersion));
        }
    }
    static void globalRemove(void*, wl_registry*, std::uint32_t) {}
};

std::shared_ptr<WaylandOverlayRole> WaylandOverlayRole::forApplication() {
    if (!QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
        return nullptr;
    }
    auto* native = QGuiApplication::platformNativeInterface();
    auto globals = std::make_unique<Globals>();
    globals->display = static_cast<wl_display*>(
        native != nullptr ? native->nativeResourceForIntegration("wl_display") : nullptr);
    globals->compositor = static_cast<wl_compositor*>(
        native != nullptr ? native->nativeResourceForIntegration("compositor") : nullptr);
    if (globals->display == nullptr || globals->compositor == nullptr) {
        std::cerr << "tessera: Qt's Wayland connection is out of reach; the overlay takes clicks "
                     "and may fall behind other windows\n";
        return nullptr;
    }
    static const wl_registry_listener listener{&Globals::global, &Globals::globalRemove};
    globals->queue = wl_display_create_queue(globals->display);
    auto* display = static_cast<wl_display*>(wl_proxy_create_wrapper(globals->display));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(display), globals->queue);
    globals->registry = wl_display_get_registry(display);
    wl_proxy_wrapper_destroy(display);
    wl_registry_add_listener(globals->registry, &listener, globals.get());
    wl_display_roundtrip_queue(globals->display, globals->queue);
    if (globals->plasmaShell == nullptr) {
        std::cerr << "tessera: the compositor offers no KDE Plasma shell; the overlay shows as "
                     "ordinary windows, which may take focus and fall behind others\n";
    }
    return std::shared_ptr<WaylandOverlayRole>(new WaylandOverlayRole(std::move(globals)));
}

WaylandOverlayRole::WaylandOverlayRole(std::unique_ptr<Globals> globals)
    : globals_(std::move(globals)) {}

WaylandOverlayRole::~WaylandOverlayRole() = default;

bool WaylandOverlayRole::hasPlasmaShell() const {
    return globals_->plasmaShell != nullptr;
}

void WaylandOverlayRole::shown(QWindow& window, const QPoint& place) {
    auto* surface = static_cast<wl_surface*>(
        QGuiApplication::platformNativeInterface()->nativeResourceForWindow("surface", &window));
    if (surface == nullptr) {
        return;
    }
    hidden(window);
    // Double-buffered: Qt's commit of the first frame applies it.
    wl_region* nothing = wl_compositor_create_region(globals_->compositor);
    wl_surface_set_input_region(surface, nothing);
    wl_region_destroy(nothing);
    if (globals_->plasmaShell == nullptr) {
        return;
    }
    auto* plasma = org_kde_plasma_shell_get_surface(globals_->plasmaShell, surface);
    org_kde_plasma_surface_set_role(plasma, ORG_KDE_PLASMA_SURFACE_ROLE_ONSCREENDISPLAY);
    org_kde_plasma_surface_set_skip_taskbar(plasma, 1);
    if (globals_->plasmaShellVersion >= skipSwitcherVersion) {
        org_kde_plasma_surface_set_skip_switcher(plasma, 1);
    }
    org_kde_plasma_surface_set_position(plasma, place.x(), place.y());
    globals_->surfaces[&window] = plasma;
    wl_display_flush(globals_->display);
}

void WaylandOverlayRole::moved(QWindow& window, const QPoint& place) {
    if (const auto found = globals_->surfaces.find(&window); found != globals_->surfaces.end()) {
        org_kde_plasma_surface_set_position(found->second, place.x(), place.y());
        wl_display_flush(globals_->display);
    }
}

void WaylandOverlayRole::hidden(QWindow& window) {
    if (const auto found = globals_->surfaces.find(&window); found != globals_->surfaces.end()) {
        org_kde_plasma_surface_destroy(found->second);
        globals_->surfaces.erase(found);
    }
}

} // namespace tessera::shell
