#include "Cli.h"

#include "ShippedStrings.h"
#include "core/app/Preferences.h"
#include "core/model/Json.h"
#include "core/model/StringTables.h"
#include "core/store/DisplayNames.h"
#include "core/store/LayoutStore.h"
#include "platform/linux/PlistDefaults.h"
#include "platform/linux/XdgFolders.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <ostream>
#include <sstream>

namespace tessera::cli {

namespace {

using nlohmann::json;

constexpr const char* usage = "Usage: tesseractl layouts [--json]\n";

// The language the application shows names in: "appLanguage", with "system" resolved the way
// the process resolves it from the locale.
TableLocalizer localizerReportingPreferences(const Context& context) {
    // Reported here rather than by PlistDefaults so the message names this command's output.
    const PlistDefaults defaults(preferencesFile(context.folders), nullptr);
    if (const auto& copy = defaults.keptCopy()) {
        context.err << "tesseractl: the preferences file " << defaults.file().string()
                    << " could not be read (" << defaults.loadError() << "); a copy was kept at "
                    << copy->string() << "\n";
    } else if (!defaults.loadError().empty()) {
        context.err << "tesseractl: the preferences file " << defaults.file().string()
                    << " could not be read (" << defaults.loadError() << "); using defaults\n";
    }
    return applicationLocalizer(defaults);
}

std::string numberText(double value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

// Width on a terminal, counted in code points so Cyrillic and Greek names line up too.
std::size_t textWidth(std::string_view text) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

std::string padded(std::string text, std::size_t width) {
    const auto current = textWidth(text);
    if (current < width) {
        text.append(width - current, ' ');
    }
    return text;
}

std::string shortcutText(const std::optional<KeyCombo>& shortcut) {
    if (!shortcut) {
        return "no shortcut";
    }
    if (!shortcut->display.empty()) {
        return "shortcut " + shortcut->display;
    }
    std::ostringstream out;
    out << "shortcut key " << shortcut->keyCode << " modifiers 0x" << std::hex
        << shortcut->carbonModifiers;
    return out.str();
}

json layoutsJson(const LayoutStore& store, const Localizer& localizer) {
    const auto payload = store.payload();
    json layouts = json::array();
    for (const auto& layout : payload.layouts) {
        json zones = json::array();
        for (const auto& zone : layout.zones) {
            json shortcut = nullptr;
            if (zone.shortcut) {
                shortcut = {{"keyCode", zone.shortcut->keyCode},
                            {"carbonModifiers", zone.shortcut->carbonModifiers},
                            {"display", zone.shortcut->display}};
            }
            zones.push_back({{"id", zone.id.string()},
                             {"name", zone.name},
                             {"displayName", displayName(zone.id, zone.name, localizer)},
                             {"x", zone.x},
                             {"y", zone.y},
                             {"width", zone.width},
                             {"height", zone.height},
                             {"shortcut", std::move(shortcut)}});
        }
        layouts.push_back({{"id", layout.id.string()},
                           {"name", layout.name},
                           {"displayName", displayName(layout.id, layout.name, localizer)},
                           {"zones", std::move(zones)}});
    }
    json assignments = json::object();
    for (const auto& [key, id] : payload.assignments) {
        assignments[key] = id.string();
    }
    json seeded = json::array();
    for (const auto& id : payload.seeded.value_or(std::vector<Uuid>{})) {
        seeded.push_back(id.string());
    }
    return {{"layouts", std::move(layouts)},
            {"assignments", std::move(assignments)},
            {"seeded", std::move(seeded)}};
}

void printText(std::ostream& out, const LayoutStore& store, const Localizer& localizer) {
    const auto payload = store.payload();
    const auto layoutName = [&](const Uuid& id) -> std::string {
        for (const auto& layout : payload.layouts) {
            if (layout.id == id) {
                return displayName(layout.id, layout.name, localizer);
            }
        }
        return "no such layout";
    };

    out << "Layouts in " << store.fileURL().string() << ":\n";
    std::size_t number = 0;
    for (const auto& layout : payload.layouts) {
        out << "\n" << ++number << ". " << displayName(layout.id, layout.name, localizer) << "\n";
        out << "   id    " << layout.id.string() << "\n";
        out << "   name  " << layout.name << "\n";
        if (layout.zones.empty()) {
            out << "   no zones\n";
            continue;
        }
        std::vector<std::string> names;
        std::size_t width = 0;
        for (const auto& zone : layout.zones) {
            names.push_back(displayName(zone.id, zone.name, localizer));
            width = std::max(width, textWidth(names.back()));
        }
        out << "   zones\n";
        for (std::size_t i = 0; i < layout.zones.size(); ++i) {
            const auto& zone = layout.zones[i];
            out << "     " << padded(names[i], width) << "  x " << padded(numberText(zone.x), 9)
                << "y " << padded(numberText(zone.y), 9) << "width "
                << padded(numberText(zone.width), 9) << "height "
                << padded(numberText(zone.height), 9) << shortcutText(zone.shortcut) << "\n";
            out << "     " << std::string(width, ' ') << "  id " << zone.id.string() << ", name \""
                << zone.name << "\"\n";
        }
    }

    out << "\nAssignments:\n";
    if (payload.assignments.empty()) {
        out << "  none\n";
    }
    std::size_t keyWidth = 0;
    for (const auto& [key, id] : payload.assignments) {
        keyWidth = std::max(keyWidth, textWidth(key));
    }
    for (const auto& [key, id] : payload.assignments) {
        out << "  " << padded(key, keyWidth) << "  " << layoutName(id) << " (" << id.string()
            << ")\n";
    }

    out << "\nBuilt-in layouts already offered:\n";
    for (const auto& id : payload.seeded.value_or(std::vector<Uuid>{})) {
        out << "  " << id.string() << "\n";
    }
}

} // namespace

int runLayouts(const Context& context, const std::vector<std::string>& arguments) {
    bool asJson = false;
    for (const auto& argument : arguments) {
        if (argument == "--json") {
            asJson = true;
        } else if (argument == "--help" || argument == "-h") {
            context.out << usage;
            return 0;
        } else {
            context.err << "tesseractl layouts: unknown option \"" << argument << "\"\n" << usage;
            return 2;
        }
    }

    // Exactly what the application does at start: the same folder, take-over and seeding.
    const LayoutStore store(LayoutStore::defaultFileURL(context.folders, bundleIdentifier));
    if (const auto& recovery = store.recovery(); recovery && !recovery->keptCopy.empty()) {
        context.err << "tesseractl: " << store.fileURL().string() << " could not be read ("
                    << recovery->reason << "); it was kept as " << recovery->keptCopy.string()
                    << " and replaced by the built-in layouts\n";
    }
    if (!store.lastSaveError().empty()) {
        context.err << "tesseractl: can't save the layouts: " << store.lastSaveError() << "\n";
        return 1;
    }

    const auto localizer = localizerReportingPreferences(context);
    if (asJson) {
        context.out << encodeJson(layoutsJson(store, localizer));
    } else {
        printText(context.out, store, localizer);
    }
    return 0;
}

} // namespace tessera::cli
