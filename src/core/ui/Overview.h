#pragma once

#include "../hotkeys/HotkeyCenter.h"
#include "../model/Records.h"
#include "../placement/WindowCommand.h"
#include "../platform/Defaults.h"
#include "../platform/Localizer.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessera {

// The caps of a shortcut as a PC keyboard labels them, one per key: Ctrl, Alt, Shift and
// Super in that order, then the key ("Return", "←", "A", …). The same names as
// linuxShortcutText, kept apart so that a "+" key stays one cap.
std::vector<std::string> linuxKeyCaps(const KeyCombo& combo, const Localizer& localizer);

// One row of the overview's keyboard section: the command's shortcut as it works now (the
// stored one, else the default; no caps when the user removed it), and why it does nothing
// while another program holds its keys.
struct CommandOverviewRow {
    WindowCommand command = WindowCommand::fillScreen;
    std::string title; // localized
    std::string symbol;
    std::vector<std::string> keyCaps;
    std::optional<std::string> heldElsewhereMessage;

    friend bool operator==(const CommandOverviewRow&, const CommandOverviewRow&) = default;
};

// Every window command in case order.
std::vector<CommandOverviewRow> commandOverviewRows(const Defaults& defaults,
                                                    const Localizer& localizer,
                                                    const ShortcutsHeldElsewhere& held);

// A zone as a display's preview draws it: fractions of the whole display (zones are stored
// against the free area, so the panels' insets move them), and the name the interface shows.
struct PreviewZone {
    std::string name;
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    friend bool operator==(const PreviewZone&, const PreviewZone&) = default;
};

// The layout's zones in drawing order (largest first), placed on the display's preview.
std::vector<PreviewZone> previewZones(const Layout& layout, const ScreenInfo& screen,
                                      const Localizer& localizer);

// Width over height of the display's preview; 16:10 for a display that reports no size.
double previewAspect(const ScreenInfo& screen);

// The size a picture is loaded at: scaled down, keeping its proportions, until the longer side
// is at most maxSide pixels; never enlarged. Empty for an empty size.
std::pair<std::int64_t, std::int64_t> thumbnailSize(std::int64_t width, std::int64_t height,
                                                    std::int64_t maxSide);

// The largest side of a desktop picture's thumbnail.
inline constexpr std::int64_t desktopThumbnailMaxSide = 1600;

// The local file named by the output of `gsettings get org.gnome.desktop.background
// picture-uri`: a quoted GVariant string holding a file:// address (or, from old settings, a
// bare absolute path). Nothing for an empty value, another scheme or text that is not such a
// string.
std::optional<std::string> pictureFileFromGSettings(std::string_view output);

} // namespace tessera
