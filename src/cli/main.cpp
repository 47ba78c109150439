#include "Cli.h"

#include "platform/linux/XdgFolders.h"

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

namespace tessera::cli {

std::optional<std::string> programVersion() {
#ifdef TESSERA_VERSION
    return std::string(TESSERA_VERSION);
#else
    return std::nullopt;
#endif
}

std::filesystem::path applicationExecutable() {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || self.empty()) {
        return "tessera";
    }
    return self.parent_path() / "tessera";
}

} // namespace tessera::cli

namespace {

constexpr const char* usage = R"(Usage: tesseractl COMMAND [ARGUMENTS]

Commands:
  layouts [--json]              List layouts, zones, display assignments and seeded built-ins.
  prefs list                    List every preference (registered defaults marked as such).
  prefs get KEY                 Print one preference.
  prefs set KEY VALUE [--type bool|int|double|string]
                                Store a preference.
  prefs unset KEY               Remove a preference; its default applies again.
  backup export FILE            Write layouts, settings and shortcuts to a backup file (a folder
                                gets "Tessera YYYY-MM-DD.json" in it).
  backup check FILE             Tell whether a file is a backup Tessera can import.
  backup import FILE [--yes]    Replace layouts and settings by a backup, after asking (--yes
                                doesn't ask); the current state is saved in "Backups" first.
  run [--platform x11|kwin] [--display NAME]
                                Run drag-to-snap and the keyboard shortcuts until interrupted
                                (on the X display NAME, else $DISPLAY, or through KWin), and
                                answer the requests below; prints "ready" once up.
  help                          Show this text.

Requests to the running Tessera (tessera or tesseractl run), over the session bus:
  place ZONE [--window ID]      Put the active window (or window ID) into a zone: a zone id or
                                LAYOUT:INDEX, e.g. "Halves:2" (layout id or name, zone from 1).
  command NAME                  Run a window command: fillScreen, zoneLeft, zoneRight, zoneUp,
                                zoneDown, previousDisplay, nextDisplay.
  assign DISPLAY LAYOUT         Show a layout on a display (display id, name or position from
                                1; layout id or name).
  displays [--json]             List displays, their layouts and zones with their frames.
  preview                       Show the zones for a moment.
  show [PAGE]                   Bring the main window forward, at a page.

Files: layouts in $XDG_DATA_HOME/Tessera/layouts.json (default ~/.local/share),
automatic copies in $XDG_DATA_HOME/Tessera/Backups, preferences in
$XDG_CONFIG_HOME/Tessera/preferences.plist (default ~/.config).
)";

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> commandLine(argv, argv + argc);
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.empty()) {
        std::cerr << usage;
        return 2;
    }
    const auto command = arguments.front();
    arguments.erase(arguments.begin());
    tessera::cli::Context context{tessera::xdgUserFolders(), std::cout, std::cerr, std::cin};
    if (command == "layouts") {
        return tessera::cli::runLayouts(context, arguments);
    }
    if (command == "prefs") {
        return tessera::cli::runPrefs(context, arguments);
    }
    if (command == "backup") {
        return tessera::cli::runBackup(context, arguments);
    }
    if (command == "run") {
        return tessera::cli::runRun(context, arguments, commandLine);
    }
    if (command == "place" || command == "command" || command == "assign" ||
        command == "displays" || command == "preview" || command == "show") {
        return tessera::cli::runControl(context, command, arguments);
    }
    if (command == "help" || command == "--help" || command == "-h") {
        std::cout << usage;
        return 0;
    }
    std::cerr << "tesseractl: unknown command \"" << command << "\"\n\n" << usage;
    return 2;
}
