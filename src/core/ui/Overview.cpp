#include "Overview.h"

#include "../hotkeys/CommandShortcutsSection.h"
#include "../hotkeys/KeyCombos.h"
#include "../model/Screens.h"
#include "../model/Uuid.h"
#include "../placement/CommandShortcuts.h"
#include "../store/DisplayNames.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace tessera {

std::vector<std::string> linuxKeyCaps(const KeyCombo& combo, const Localizer& localizer) {
    std::vector<std::string> caps;
    const auto bits = combo.carbonModifiers;
    if ((bits & carbon::controlKey) != 0) {
        caps.push_back(localizer.localized("Ctrl"));
    }
    if ((bits & carbon::optionKey) != 0) {
        caps.push_back(localizer.localized("Alt"));
    }
    if ((bits & carbon::shiftKey) != 0) {
        caps.push_back(localizer.localized("Shift"));
    }
    if ((bits & carbon::cmdKey) != 0) {
        caps.push_back(localizer.localized("Super"));
    }
    // Without modifiers the Linux text is the key's name alone.
    caps.push_back(linuxShortcutText(KeyCombo{combo.keyCode, 0, {}}, localizer));
    return caps;
}

std::vector<CommandOverviewRow> commandOverviewRows(const Defaults& defaults,
                                                    const Localizer& localizer,
                                                    const ShortcutsHeldElsewhere& held) {
    std::vector<CommandOverviewRow> rows;
    for (const auto command : allWindowCommands) {
        const auto meta = info(command);
        CommandOverviewRow row{
            command, localizer.localized(meta.title), std::string(meta.symbol), {}, {}};
        if (const auto shortcut = effectiveShortcut(command, defaults, localizer)) {
            row.keyCaps = linuxKeyCaps(*shortcut, localizer);
            if (held.holds(command)) {
                row.heldElsewhereMessage = heldElsewhereMessage(localizer);
            }
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<PreviewZone> previewZones(const Layout& layout, const ScreenInfo& screen,
                                      const Localizer& localizer) {
    const auto& insets = screen.visibleInsets;
    const double freeWidth = 1 - insets.left - insets.right;
    const double freeHeight = 1 - insets.top - insets.bottom;
    std::vector<PreviewZone> zones;
    for (const auto& zone : drawingOrder(layout.zones)) {
        zones.push_back({displayName(zone.id, zone.name, localizer),
                         insets.left + zone.x * freeWidth, insets.top + zone.y * freeHeight,
                         zone.width * freeWidth, zone.height * freeHeight});
    }
    return zones;
}

double previewAspect(const ScreenInfo& screen) {
    if (screen.pointWidth <= 0 || screen.pointHeight <= 0) {
        return 16.0 / 10.0;
    }
    return static_cast<double>(screen.pointWidth) / static_cast<double>(screen.pointHeight);
}

std::pair<std::int64_t, std::int64_t> thumbnailSize(std::int64_t width, std::int64_t height,
                                                    std::int64_t maxSide) {
    if (width <= 0 || height <= 0 || maxSide <= 0) {
        return {0, 0};
    }
    const auto longer = std::max(width, height);
    if (longer <= maxSide) {
        return {width, height};
    }
    const double factor = static_cast<double>(maxSide) / static_cast<double>(longer);
    const auto scaled = [factor](std::int64_t side) {
        return std::max<std::int64_t>(1, std::llround(static_cast<double>(side) * factor));
    };
    return {width >= height ? maxSide : scaled(width), height > width ? maxSide : scaled(height)};
}

namespace {

std::optional<std::string> unquoteGVariantString(std::string_view text) {
    if (text.size() < 2) {
        return std::nullopt;
    }
    const char quote = text.front();
    if ((quote != '\'' && quote != '"') || text.back() != quote) {
        return std::nullopt;
    }
    const auto body = text.substr(1, text.size() - 2);
    std::string value;
    for (std::size_t i = 0; i < body.size(); ++i) {
        const char c = body[i];
        if (c == quote) {
            return std::nullopt; // an unescaped quote ends the string early
        }
        if (c != '\\') {
            value += c;
            continue;
        }
        if (++i == body.size()) {
            return std::nullopt;
        }
        const char escaped = body[i];
        if (escaped != '\\' && escaped != '\'' && escaped != '"') {
            // Control characters have no place in a file address.
            return std::nullopt;
        }
        value += escaped;
    }
    return value;
}

std::optional<std::string> percentDecoded(std::string_view text) {
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            decoded += text[i];
            continue;
        }
        if (i + 2 >= text.size()) {
            return std::nullopt;
        }
        const int high = hexDigitValue(text[i + 1]);
        const int low = hexDigitValue(text[i + 2]);
        if (high < 0 || low < 0 || (high == 0 && low == 0)) {
            return std::nullopt;
        }
        decoded += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return decoded;
}

} // namespace

std::optional<std::string> pictureFileFromGSettings(std::string_view output) {
    const auto first = output.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    const auto last = output.find_last_not_of(" \t\r\n");
    const auto value = unquoteGVariantString(output.substr(first, last - first + 1));
    // A path can't hold a NUL: the file opened would be another one than the text names.
    if (!value || value->empty() || value->find('\0') != std::string::npos) {
        return std::nullopt;
    }
    if (value->front() == '/') {
        return value;
    }
    constexpr std::string_view scheme = "file://";
    if (value->size() < scheme.size() ||
        !std::equal(scheme.begin(), scheme.end(), value->begin(), [](char a, char b) {
            return a == std::tolower(static_cast<unsigned char>(b));
        })) {
        return std::nullopt;
    }
    std::string_view rest = std::string_view(*value).substr(scheme.size());
    constexpr std::string_view localhost = "localhost";
    if (rest.substr(0, localhost.size()) == localhost) {
        rest.remove_prefix(localhost.size());
    }
    // A host other than this machine's is not a file Tessera can read.
    if (rest.empty() || rest.front() != '/') {
        return std::nullopt;
    }
    // Query and fragment are not part of a file's path.
    rest = rest.substr(0, rest.find_first_of("?#"));
    auto path = percentDecoded(rest);
    if (!path || path->empty()) {
        return std::nullopt;
    }
    return path;
}

} // namespace tessera
