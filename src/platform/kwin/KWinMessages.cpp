#include "KWinMessages.h"

#include "core/model/Records.h"
#include "platform/linux/MacKeyCodes.h"

#include <X11/keysym.h>
#include <nlohmann/json.hpp>

#include <array>
#include <cctype>
#include <cmath>
#include <utility>

namespace tessera {

namespace {

using nlohmann::json;

std::optional<std::string> stringAt(const json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end() || !it->is_string()) {
        return std::nullopt;
    }
    return it->get<std::string>();
}

std::optional<double> numberAt(const json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end() || !it->is_number()) {
        return std::nullopt;
    }
    const auto value = it->get<double>();
    // Beyond any screen: a frame there would only overflow later arithmetic.
    if (!std::isfinite(value) || std::abs(value) > 1e7) {
        return std::nullopt;
    }
    return value;
}

bool flagAt(const json& object, const char* key) {
    const auto it = object.find(key);
    return it != object.end() && it->is_boolean() && it->get<bool>();
}

std::optional<Rect> rectAt(const json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end() || !it->is_object()) {
        return std::nullopt;
    }
    const auto x = numberAt(*it, "x");
    const auto y = numberAt(*it, "y");
    const auto width = numberAt(*it, "width");
    const auto height = numberAt(*it, "height");
    if (!x || !y || !width || !height || *width < 0 || *height < 0) {
        return std::nullopt;
    }
    return Rect{*x, *y, *width, *height};
}

std::optional<KWinWindowInfo> windowFrom(const json& object) {
    if (!object.is_object()) {
        return std::nullopt;
    }
    auto id = stringAt(object, "id");
    const auto frame = rectAt(object, "frame");
    if (!id || id->empty() || !frame) {
        return std::nullopt;
    }
    KWinWindowInfo window;
    window.id = std::move(*id);
    window.frame = *frame;
    const auto pid = numberAt(object, "pid");
    window.pid = pid && *pid > 0 && *pid < 1e9 ? static_cast<ProcessId>(*pid) : 0;
    window.resourceClass = stringAt(object, "resourceClass").value_or("");
    window.desktopFileName = stringAt(object, "desktopFileName").value_or("");
    window.caption = stringAt(object, "caption").value_or("");
    window.normal = flagAt(object, "normal");
    window.fullScreen = flagAt(object, "fullScreen");
    window.minimized = flagAt(object, "minimized");
    const auto stacking = numberAt(object, "stacking");
    window.stacking = stacking && std::abs(*stacking) < 1e9 ? static_cast<int>(*stacking) : 0;
    return window;
}

std::optional<std::vector<KWinOutputInfo>> outputsFrom(const json& object) {
    const auto it = object.find("outputs");
    if (it == object.end() || !it->is_array()) {
        return std::nullopt;
    }
    std::vector<KWinOutputInfo> outputs;
    for (const auto& entry : *it) {
        if (!entry.is_object()) {
            return std::nullopt;
        }
        const auto frame = rectAt(entry, "frame");
        const auto area = rectAt(entry, "area");
        if (!frame || !area || frame->width() <= 0 || frame->height() <= 0) {
            return std::nullopt;
        }
        outputs.push_back({stringAt(entry, "name").value_or(""), *frame, *area});
    }
    return outputs;
}

std::optional<BridgeEventType> typeNamed(std::string_view name) {
    constexpr std::array<std::pair<std::string_view, BridgeEventType>, 7> types{{
        {"hello", BridgeEventType::hello},
        {"outputs", BridgeEventType::outputs},
        {"window", BridgeEventType::window},
        {"removed", BridgeEventType::removed},
        {"activated", BridgeEventType::activated},
        {"move", BridgeEventType::move},
        {"shortcut", BridgeEventType::shortcut},
    }};
    for (const auto& [text, type] : types) {
        if (text == name) {
            return type;
        }
    }
    return std::nullopt;
}

json rectJson(const Rect& r) {
    return {{"x", r.minX()}, {"y", r.minY()}, {"width", r.width()}, {"height", r.height()}};
}

// Qt's key codes and modifier bits (Qt::Key, Qt::KeyboardModifier), which kglobalaccel
// answers in; the program does not link Qt for these few numbers.
constexpr std::int32_t qtKeypad = 0x20000000;
constexpr std::int32_t qtF1 = 0x01000030;

struct NamedKey {
    std::uint32_t keysym;
    std::string_view name;
    std::int32_t code;
};

// Keys whose Qt name is not the character they type.
std::optional<NamedKey> namedKey(std::uint32_t keysym) {
    constexpr std::array<NamedKey, 22> names{{
        {XK_Return, "Return", 0x01000004},
        {XK_Tab, "Tab", 0x01000001},
        {XK_space, "Space", 0x20},
        {XK_BackSpace, "Backspace", 0x01000003},
        {XK_Escape, "Esc", 0x01000000},
        {XK_Delete, "Del", 0x01000007},
        {XK_Insert, "Ins", 0x01000006},
        {XK_Home, "Home", 0x01000010},
        {XK_End, "End", 0x01000011},
        {XK_Page_Up, "PgUp", 0x01000016},
        {XK_Page_Down, "PgDown", 0x01000017},
        {XK_Left, "Left", 0x01000012},
        {XK_Right, "Right", 0x01000014},
        {XK_Up, "Up", 0x01000013},
        {XK_Down, "Down", 0x01000015},
        {XK_KP_Enter, "Enter", qtKeypad | 0x01000005},
        {XK_KP_Add, "Num++", qtKeypad | '+'},
        {XK_KP_Subtract, "Num+-", qtKeypad | '-'},
        {XK_KP_Multiply, "Num+*", qtKeypad | '*'},
        {XK_KP_Divide, "Num+/", qtKeypad | '/'},
        {XK_KP_Decimal, "Num+.", qtKeypad | '.'},
        {XK_KP_Equal, "Num+=", qtKeypad | '='},
    }};
    for (const auto& key : names) {
        if (key.keysym == keysym) {
            return key;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<BridgeEvent> parseBridgeEvent(std::string_view text) {
    const auto document = json::parse(text, nullptr, false);
    if (document.is_discarded() || !document.is_object()) {
        return std::nullopt;
    }
    const auto typeName = stringAt(document, "type");
    const auto token = stringAt(document, "token");
    if (!typeName || !token) {
        return std::nullopt;
    }
    const auto type = typeNamed(*typeName);
    if (!type) {
        return std::nullopt;
    }
    BridgeEvent event;
    event.type = *type;
    event.token = *token;
    switch (*type) {
    case BridgeEventType::hello: {
        auto outputs = outputsFrom(document);
        const auto windows = document.find("windows");
        if (!outputs || windows == document.end() || !windows->is_array()) {
            return std::nullopt;
        }
        event.outputs = std::move(*outputs);
        for (const auto& entry : *windows) {
            if (auto window = windowFrom(entry)) {
                event.windows.push_back(std::move(*window));
            }
        }
        event.api = static_cast<int>(numberAt(document, "api").value_or(0));
        event.id = stringAt(document, "active").value_or("");
        return event;
    }
    case BridgeEventType::outputs: {
        auto outputs = outputsFrom(document);
        if (!outputs) {
            return std::nullopt;
        }
        event.outputs = std::move(*outputs);
        return event;
    }
    case BridgeEventType::window: {
        const auto it = document.find("window");
        auto window = it == document.end() ? std::nullopt : windowFrom(*it);
        if (!window) {
            return std::nullopt;
        }
        event.windows.push_back(std::move(*window));
        return event;
    }
    case BridgeEventType::removed:
    case BridgeEventType::activated: {
        auto id = stringAt(document, "id");
        if (!id) {
            return std::nullopt;
        }
        event.id = std::move(*id);
        return event;
    }
    case BridgeEventType::move: {
        auto id = stringAt(document, "id");
        const auto phase = stringAt(document, "phase");
        const auto cursor = document.find("cursor");
        if (!id || !phase || cursor == document.end() || !cursor->is_object()) {
            return std::nullopt;
        }
        const auto x = numberAt(*cursor, "x");
        const auto y = numberAt(*cursor, "y");
        if (!x || !y) {
            return std::nullopt;
        }
        if (*phase == "start") {
            event.phase = MovePhase::start;
        } else if (*phase == "step") {
            event.phase = MovePhase::step;
        } else if (*phase == "cancel") {
            event.phase = MovePhase::cancel;
        } else if (*phase == "finish") {
            event.phase = MovePhase::finish;
        } else {
            return std::nullopt;
        }
        event.id = std::move(*id);
        event.cursor = {*x, *y};
        return event;
    }
    case BridgeEventType::shortcut: {
        auto name = stringAt(document, "name");
        if (!name) {
            return std::nullopt;
        }
        event.name = std::move(*name);
        return event;
    }
    }
    return std::nullopt;
}

std::optional<std::string> parsePollToken(std::string_view text) {
    const auto document = json::parse(text, nullptr, false);
    if (document.is_discarded() || !document.is_object()) {
        return std::nullopt;
    }
    return stringAt(document, "token");
}

std::string commandsJson(const std::vector<BridgeCommand>& commands) {
    auto list = json::array();
    for (const auto& command : commands) {
        switch (command.op) {
        case BridgeCommand::Op::frame:
            list.push_back(
                {{"op", "frame"}, {"id", command.id}, {"frame", rectJson(command.frame)}});
            break;
        case BridgeCommand::Op::activate:
            list.push_back({{"op", "activate"}, {"id", command.id}});
            break;
        case BridgeCommand::Op::shortcut:
            list.push_back({{"op", "shortcut"},
                            {"name", command.name},
                            {"text", command.text},
                            {"keys", command.keys}});
            break;
        case BridgeCommand::Op::unshortcut:
            list.push_back({{"op", "unshortcut"}, {"name", command.name}});
            break;
        }
    }
    return json{{"commands", std::move(list)}}.dump();
}

std::string stopJson() {
    return json{{"stop", true}}.dump();
}

std::optional<QtKeys> qtKeys(std::uint32_t macKeyCode, std::uint32_t carbonModifiers) {
    const auto keysym = keysymForMacKeyCode(macKeyCode);
    if (!keysym) {
        return std::nullopt;
    }
    QtKeys keys;
    if (const auto named = namedKey(*keysym)) {
        keys = {std::string(named->name), named->code};
    } else if (*keysym > XK_space && *keysym <= XK_asciitilde) {
        const auto upper = std::toupper(static_cast<int>(*keysym));
        keys = {std::string(1, static_cast<char>(upper)), upper};
    } else if (*keysym >= XK_F1 && *keysym <= XK_F35) {
        const auto number = static_cast<std::int32_t>(*keysym - XK_F1);
        keys = {"F" + std::to_string(number + 1), qtF1 + number};
    } else if (*keysym >= XK_KP_0 && *keysym <= XK_KP_9) {
        const auto digit = static_cast<std::int32_t>(*keysym - XK_KP_0);
        keys = {"Num+" + std::to_string(digit), qtKeypad | ('0' + digit)};
    } else {
        return std::nullopt;
    }
    struct Modifier {
        std::uint32_t carbon;
        std::string_view name;
        std::int32_t qt;
    };
    // In the order Qt writes them.
    constexpr std::array<Modifier, 4> modifiers{{
        {carbon::cmdKey, "Meta+", 0x10000000},
        {carbon::controlKey, "Ctrl+", 0x04000000},
        {carbon::optionKey, "Alt+", 0x08000000},
        {carbon::shiftKey, "Shift+", 0x02000000},
    }};
    std::string prefix;
    for (const auto& modifier : modifiers) {
        if ((carbonModifiers & modifier.carbon) != 0) {
            prefix += modifier.name;
            keys.code |= modifier.qt;
        }
    }
    keys.text = prefix + keys.text;
    return keys;
}

} // namespace tessera
