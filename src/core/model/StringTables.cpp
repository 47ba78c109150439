#include "StringTables.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>

namespace tessera {

std::string StringTables::add(std::string_view language, std::string_view json) {
    nlohmann::json document;
    try {
        document = nlohmann::json::parse(json.begin(), json.end());
    } catch (const nlohmann::json::exception& error) {
        return std::string("string table \"") + std::string(language) +
               "\" is not valid JSON: " + error.what();
    }
    if (!document.is_object()) {
        return std::string("string table \"") + std::string(language) + "\" is not an object";
    }
    std::map<std::string, std::string, std::less<>> table;
    for (const auto& [key, value] : document.items()) {
        if (!value.is_string()) {
            return std::string("string table \"") + std::string(language) + "\": \"" + key +
                   "\" is not a string";
        }
        table.emplace(key, value.get<std::string>());
    }
    std::string code(language);
    if (std::find(order_.begin(), order_.end(), code) == order_.end()) {
        order_.push_back(code);
    }
    tables_[code] = std::move(table);
    return {};
}

const std::map<std::string, std::string, std::less<>>*
StringTables::table(std::string_view language) const {
    const auto it = tables_.find(language);
    return it == tables_.end() ? nullptr : &it->second;
}

TableLocalizer::TableLocalizer(std::shared_ptr<const StringTables> tables, std::string language)
    : tables_(std::move(tables)), language_(std::move(language)) {}

std::string TableLocalizer::localized(std::string_view key) const {
    auto text = lookup(key, language_);
    return text ? *text : std::string(key);
}

std::optional<std::string> TableLocalizer::lookup(std::string_view key,
                                                  std::string_view language) const {
    const auto* table = tables_->table(language);
    if (!table) {
        return std::nullopt;
    }
    const auto it = table->find(key);
    if (it == table->end()) {
        return std::nullopt;
    }
    return it->second;
}

std::string formatString(std::string_view pattern, const std::vector<std::string>& arguments) {
    std::string out;
    out.reserve(pattern.size());
    std::size_t next = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%' || i + 1 >= pattern.size()) {
            out.push_back(pattern[i]);
            continue;
        }
        std::size_t j = i + 1;
        if (pattern[j] == '%') {
            out.push_back('%');
            i = j;
            continue;
        }
        std::size_t index = next;
        bool positional = false;
        std::size_t k = j;
        std::size_t number = 0;
        while (k < pattern.size() && std::isdigit(static_cast<unsigned char>(pattern[k]))) {
            number = number * 10 + static_cast<std::size_t>(pattern[k] - '0');
            if (number > arguments.size() + 1) {
                break;
            }
            ++k;
        }
        if (k > j && k < pattern.size() && pattern[k] == '$' && number >= 1) {
            index = number - 1;
            positional = true;
            j = k + 1;
        }
        std::size_t length = 0;
        if (pattern.substr(j, 1) == "@") {
            length = 1;
        } else if (pattern.substr(j, 3) == "lld") {
            length = 3;
        } else if (pattern.substr(j, 1) == "d") {
            length = 1;
        }
        if (length == 0) {
            out.push_back(pattern[i]);
            continue;
        }
        if (index < arguments.size()) {
            out += arguments[index];
        }
        if (!positional) {
            ++next;
        }
        i = j + length - 1;
    }
    return out;
}

std::string localizedFormat(const Localizer& localizer, std::string_view key,
                            const std::vector<std::string>& arguments) {
    return formatString(localizer.localized(key), arguments);
}

} // namespace tessera
