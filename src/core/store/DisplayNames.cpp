#include "DisplayNames.h"

#include "../model/StringTables.h"
#include "BuiltInLayouts.h"

#include <algorithm>

namespace tessera {

namespace {

const std::string* findLegacyName(std::string_view name) {
    const auto& table = legacyNames();
    const auto it = std::find_if(table.begin(), table.end(),
                                 [name](const auto& entry) { return entry.first == name; });
    return it == table.end() ? nullptr : &it->second;
}

} // namespace

const std::vector<std::pair<std::string, std::string>>& legacyNames() {
    // The first eight are the example layouts earlier versions created (named after the apps
    // they were meant for), the rest their zone and default names. The mark after the screen
    // size is U+2033 DOUBLE PRIME.
    static const std::vector<std::pair<std::string, std::string>> names{
        {"27\u2033 браузер и Telegram", "Stack + Half"},
        {"27\u2033 Browser & Telegram", "Stack + Half"},
        {"34\u2033 работа и бок", "Half + Stack"},
        {"34\u2033 Work & Side", "Half + Stack"},
        {"34\u2033 три колонки", "Three Columns"},
        {"34\u2033 Three Columns", "Three Columns"},
        {"34\u2033 код и чаты", "Columns + Stack"},
        {"34\u2033 Code & Chats", "Columns + Stack"},
        {"Браузер слева сверху", "Top Left"},
        {"Browser Top Left", "Top Left"},
        {"Telegram", "Bottom Left"},
        {"Браузер справа", "Right"},
        {"Browser Right", "Right"},
        {"Основное", "Main"},
        {"Справа сверху", "Top Right"},
        {"Справа снизу", "Bottom Right"},
        {"Левая", "Left"},
        {"Центр", "Center"},
        {"Правая", "Right"},
        {"Код", "Left"},
        {"Code", "Left"},
        {"Превью", "Center"},
        {"Preview", "Center"},
        {"Чат сверху", "Top Right"},
        {"Chat Top", "Top Right"},
        {"Чат снизу", "Bottom Right"},
        {"Chat Bottom", "Bottom Right"},
        {"Слева", "Left"},
        {"Справа", "Right"},
        {"Новая зона", "New Zone"},
        {"Новая раскладка", "New Layout"},
    };
    return names;
}

const std::vector<std::pair<std::string, std::string>>& legacySuffixes() {
    // Earlier versions named the halves of a split zone by appending these; the format keys
    // are the ones the editor uses for the same purpose today.
    static const std::vector<std::pair<std::string, std::string>> suffixes{
        {" верх", "%@ Top"},
        {" низ", "%@ Bottom"},
        {" лево", "%@ Left"},
        {" право", "%@ Right"},
    };
    return suffixes;
}

std::string displayName(const Uuid& id, std::string_view name, const Localizer& localizer) {
    const auto& names = builtInNames();
    if (const auto it = names.find(id); it != names.end()) {
        const std::string& canonical = it->second;
        // A built-in keeps its current name in the current language whether the file holds the
        // English name, a name an earlier version wrote, or the name as the user saw it in
        // another language. Anything else is a name the user chose.
        if (name == canonical || findLegacyName(name) != nullptr ||
            translations(canonical, localizer).count(std::string(name)) != 0) {
            return localizer.localized(canonical);
        }
    }
    if (auto legacy = legacyName(name, builtInIDs().count(id) != 0, localizer)) {
        return std::move(*legacy);
    }
    return std::string(name);
}

std::optional<std::string> legacyName(std::string_view name, bool isBuiltIn,
                                      const Localizer& localizer) {
    // "Telegram" was an example zone's name, but it is also a perfectly good name of the user's
    // own: only the built-in zone is renamed.
    if (name == "Telegram" && !isBuiltIn) {
        return std::nullopt;
    }
    if (const auto* current = findLegacyName(name)) {
        return localizer.localized(*current);
    }
    for (const auto& [suffix, formatKey] : legacySuffixes()) {
        if (!name.ends_with(suffix)) {
            continue;
        }
        const auto rest = name.substr(0, name.size() - suffix.size());
        if (auto inner = legacyName(rest, isBuiltIn, localizer)) {
            return localizedFormat(localizer, formatKey, {*inner});
        }
        // The part before the suffix is the user's own text, so the suffix is too.
        return std::nullopt;
    }
    return std::nullopt;
}

std::set<std::string> translations(std::string_view key, const Localizer& localizer) {
    std::set<std::string> texts;
    for (const auto& language : localizer.languages()) {
        auto text = localizer.lookup(key, language);
        texts.insert(text ? std::move(*text) : std::string(key));
    }
    return texts;
}

} // namespace tessera
