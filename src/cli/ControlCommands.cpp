#include "Cli.h"

#include "platform/dbus/TesseraService.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <ostream>

namespace tessera::cli {

namespace {

constexpr const char* usage = R"(Usage: tesseractl place ZONE [--window ID]
       tesseractl command NAME
       tesseractl assign DISPLAY LAYOUT
       tesseractl displays [--json]
       tesseractl preview
       tesseractl show [PAGE]

Asks the running Tessera (tessera, or tesseractl run) over the session bus.
  ZONE     a zone id, or LAYOUT:INDEX: a layout's id or name and the zone's position in it,
           from 1 (for example "Halves:2")
  ID       the desktop's id of a window (on X11 its window number, as xdotool getactivewindow
           prints it); without --window, the active window
  NAME     fillScreen, zoneLeft, zoneRight, zoneUp, zoneDown, previousDisplay or nextDisplay
  DISPLAY  a display's id, name, or position from 1 (as tesseractl displays lists them)
  LAYOUT   a layout's id or name
  PAGE     overview, zones, settings, about, general, windows, keyboard, exclusions or
           permissions
)";

int usageError(const Context& context, std::string_view message) {
    context.err << "tesseractl: " << message << "\n\n" << usage;
    return 2;
}

// The call's outcome as the exit status; its answer, when there is one, in value.
int call(const Context& context, std::string_view method, const std::vector<std::string>& arguments,
         std::string* value = nullptr) {
    const auto reply = callTessera(method, arguments);
    switch (reply.status) {
    case TesseraReply::Status::ok:
        if (value != nullptr) {
            *value = reply.value;
        }
        return 0;
    case TesseraReply::Status::notRunning:
        context.err << "tesseractl: Tessera is not running (start tessera, or tesseractl run)";
        if (reply.errorName.empty() && !reply.message.empty()) {
            context.err << ": " << reply.message;
        }
        context.err << "\n";
        return 1;
    case TesseraReply::Status::failed:
        break;
    }
    context.err << "tesseractl: " << reply.message << "\n";
    return 1;
}

std::string frameText(const nlohmann::json& frame) {
    const auto number = [&](const char* key) {
        return std::to_string(std::lround(frame.at(key).get<double>()));
    };
    return number("width") + "x" + number("height") + "+" + number("x") + "+" + number("y");
}

// One display a line (position, name, frame, layout), then its zones indented.
void printDisplays(const Context& context, const std::string& text) {
    const auto document = nlohmann::json::parse(text);
    int position = 0;
    for (const auto& display : document.at("displays")) {
        const auto& layout = display.at("layout");
        context.out << ++position << ". " << display.at("name").get<std::string>() << "  "
                    << frameText(display.at("frame")) << "  layout \""
                    << layout.at("name").get<std::string>() << "\" "
                    << layout.at("id").get<std::string>() << "\n"
                    << "   id: " << display.at("id").get<std::string>() << "\n";
        for (const auto& zone : display.at("zones")) {
            context.out << "   " << zone.at("index").get<int>() << " "
                        << zone.at("id").get<std::string>() << "  " << frameText(zone.at("frame"))
                        << "  " << zone.at("name").get<std::string>() << "\n";
        }
    }
}

} // namespace

int runControl(const Context& context, const std::string& command,
               const std::vector<std::string>& arguments) {
    if (!arguments.empty() && (arguments.front() == "--help" || arguments.front() == "-h")) {
        context.out << usage;
        return 0;
    }
    if (command == "place") {
        std::string zone;
        std::string window;
        for (std::size_t i = 0; i < arguments.size(); ++i) {
            if (arguments[i] == "--window") {
                if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
                    return usageError(context, "--window needs a window id");
                }
                window = arguments[++i];
            } else if (zone.empty() && !arguments[i].empty()) {
                zone = arguments[i];
            } else {
                return usageError(context, "unexpected argument \"" + arguments[i] + "\"");
            }
        }
        if (zone.empty()) {
            return usageError(context, "place needs a zone");
        }
        return call(context, "Place", {zone, window});
    }
    if (command == "command") {
        if (arguments.size() != 1) {
            return usageError(context, "command needs one command name");
        }
        return call(context, "Command", arguments);
    }
    if (command == "assign") {
        if (arguments.size() != 2) {
            return usageError(context, "assign needs a display and a layout");
        }
        return call(context, "Assign", arguments);
    }
    if (command == "displays") {
        const bool json = arguments.size() == 1 && arguments.front() == "--json";
        if (!arguments.empty() && !json) {
            return usageError(context, "unexpected argument \"" + arguments.front() + "\"");
        }
        std::string text;
        if (const int status = call(context, "Displays", {}, &text); status != 0) {
            return status;
        }
        if (json) {
            context.out << text << "\n";
            return 0;
        }
        try {
            printDisplays(context, text);
        } catch (const nlohmann::json::exception& error) {
            context.err << "tesseractl: Tessera answered something unreadable: " << error.what()
                        << "\n";
            return 1;
        }
        return 0;
    }
    if (command == "preview") {
        if (!arguments.empty()) {
            return usageError(context, "preview takes no arguments");
        }
        return call(context, "PreviewZones", {});
    }
    // show
    if (arguments.size() > 1) {
        return usageError(context, "show takes at most a page");
    }
    return call(context, "ShowWindow", {arguments.empty() ? "" : arguments.front()});
}

} // namespace tessera::cli
