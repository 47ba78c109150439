// Real pointer and key input for the KWin tests, through KWin's fake input protocol (offered to
// any client when kwin_wayland runs with KWIN_WAYLAND_NO_PERMISSION_CHECKS=1). Runs its
// arguments as steps, each handled by KWin before the next is sent:
//   to X Y      the pointer to (X, Y) in KWin's global coordinates
//   down | up   the left button
//   key CODE 1|0  a key (Linux input code) pressed or released
// Exits 0 once KWin has handled every step.

#include "fake-input-client-protocol.h"

#include <linux/input-event-codes.h>
#include <wayland-client.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Globals {
    org_kde_kwin_fake_input* fakeInput = nullptr;
};

void announced(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
               std::uint32_t version) {
    if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0) {
        static_cast<Globals*>(data)->fakeInput =
            static_cast<org_kde_kwin_fake_input*>(wl_registry_bind(
                registry, name, &org_kde_kwin_fake_input_interface, version < 4 ? version : 4));
    }
}

void removed(void*, wl_registry*, std::uint32_t) {}

const wl_registry_listener listener{announced, removed};

} // namespace

int main(int argc, char** argv) {
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "fake-input: no Wayland display\n");
        return 1;
    }
    Globals globals;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &listener, &globals);
    wl_display_roundtrip(display);
    if (globals.fakeInput == nullptr) {
        std::fprintf(stderr, "fake-input: the compositor offers no fake input\n");
        return 1;
    }
    org_kde_kwin_fake_input_authenticate(globals.fakeInput, "Tessera tests", "drives the tests");
    for (int i = 1; i < argc; ++i) {
        const std::string step = argv[i];
        if (step == "to" && i + 2 < argc) {
            org_kde_kwin_fake_input_pointer_motion_absolute(
                globals.fakeInput, wl_fixed_from_double(std::atof(argv[i + 1])),
                wl_fixed_from_double(std::atof(argv[i + 2])));
            i += 2;
        } else if (step == "down" || step == "up") {
            org_kde_kwin_fake_input_button(globals.fakeInput, BTN_LEFT, step == "down" ? 1 : 0);
        } else if (step == "key" && i + 2 < argc) {
            org_kde_kwin_fake_input_keyboard_key(
                globals.fakeInput, static_cast<std::uint32_t>(std::atoi(argv[i + 1])),
                static_cast<std::uint32_t>(std::atoi(argv[i + 2])));
            i += 2;
        } else {
            std::fprintf(stderr, "fake-input: unknown step \"%s\"\n", argv[i]);
            return 2;
        }
        wl_display_roundtrip(display);
    }
    org_kde_kwin_fake_input_destroy(globals.fakeInput);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return 0;
}
