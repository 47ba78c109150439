#include "core/model/StringTables.h"
#include "ShippedStrings.h"
#include "core/placement/WindowCommand.h"
#include "core/store/BuiltInLayouts.h"
#include "core/store/DisplayNames.h"
#include "core/store/Templates.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace tessera {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> shippedLanguages{"en", "ru", "fr", "es", "el", "de"};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The placeholders of a format text as formatString reads them ("%@", "%lld", "%d", each
// optionally numbered as "%2$@"), and what it would copy through unchanged.
struct FormatPattern {
    std::vector<std::pair<std::optional<std::size_t>, std::string>> placeholders; // number, type
    std::size_t literalPercents = 0;                                              // "%%"
    bool stray = false; // a "%" that is neither
};

FormatPattern parseFormat(const std::string& text) {
    static const std::regex percent(R"(%%|%(?:([0-9]+)\$)?(@|lld|d)?)");
    FormatPattern pattern;
    for (std::sregex_iterator it(text.begin(), text.end(), percent), end; it != end; ++it) {
        const auto& match = *it;
        if (match.str() == "%%") {
            ++pattern.literalPercents;
        } else if (!match[2].matched) {
            pattern.stray = true;
        } else {
            pattern.placeholders.emplace_back(
                match[1].matched ? std::optional(std::stoul(match[1].str())) : std::nullopt,
                match[2].str());
        }
    }
    return pattern;
}

// Everything wrong with one translation of a key as a format string; empty when it is sound.
std::vector<std::string> formatProblems(const std::string& key, const std::string& translation) {
    const auto expected = parseFormat(key);
    const auto pattern = parseFormat(translation);
    std::vector<std::string> problems;
    if (expected.placeholders.empty() && pattern.placeholders.empty()) {
        return problems;
    }
    if (pattern.stray) {
        problems.push_back("a stray %");
    }
    if (pattern.placeholders.size() != expected.placeholders.size()) {
        problems.push_back("another number of placeholders");
        return problems;
    }
    std::set<std::size_t> used;
    for (std::size_t i = 0; i < pattern.placeholders.size(); ++i) {
        const auto& [number, type] = pattern.placeholders[i];
        if (number.has_value() != pattern.placeholders[0].first.has_value()) {
            problems.push_back("mixes positional and sequential placeholders");
            return problems;
        }
        const auto index = number ? *number - 1 : i;
        if (index >= expected.placeholders.size() || !used.insert(index).second) {
            problems.push_back("position " + std::to_string(index + 1) + " out of range or twice");
        } else if (expected.placeholders[index].second != type) {
            problems.push_back("argument " + std::to_string(index + 1) + " used as %" + type +
                               " but the key has %" + expected.placeholders[index].second);
        }
    }
    // The real formatter must use every argument and leave no placeholder behind.
    std::vector<std::string> arguments;
    for (std::size_t i = 0; i < expected.placeholders.size(); ++i) {
        arguments.push_back("<argument " + std::to_string(i + 1) + ">");
    }
    const auto formatted = formatString(translation, arguments);
    if (static_cast<std::size_t>(std::ranges::count(formatted, '%')) != pattern.literalPercents) {
        problems.push_back("formatted text keeps a placeholder: \"" + formatted + "\"");
    }
    for (const auto& argument : arguments) {
        if (formatted.find(argument) == std::string::npos) {
            problems.push_back("formatted text lacks \"" + argument + "\": \"" + formatted + "\"");
        }
    }
    return problems;
}

// Keys written literally in the sources: the string literal passed to localized("..."),
// tr("...") or as the second argument of localizedFormat(localizer, "...", ...). Qt's tr() and
// qsTr() are found too, since they are the calls that bypass the tables.
struct Token {
    enum class Kind { identifier, string, punctuation, other } kind = Kind::other;
    std::string text; // identifier name, punctuation character, or the decoded string
    std::size_t line = 0;
};

// Just enough of C++ and QML to find string literals and calls: comments, string literals with
// their escapes (raw strings too), character literals and digit separators that hold quotes.
std::vector<Token> tokens(std::string_view source, bool qml) {
    std::vector<Token> out;
    std::size_t pos = 0;
    std::size_t line = 1;
    const auto at = [&](std::string_view text) { return source.substr(pos).starts_with(text); };
    const auto skipTo = [&](std::string_view end) {
        const auto found = source.find(end, pos);
        const auto stop = found == std::string_view::npos ? source.size() : found + end.size();
        line +=
            static_cast<std::size_t>(std::count(source.begin() + static_cast<long>(pos),
                                                source.begin() + static_cast<long>(stop), '\n'));
        const auto skipped = source.substr(pos, stop - pos);
        pos = stop;
        return skipped;
    };
    while (pos < source.size()) {
        const char c = source[pos];
        const auto start = line;
        if (at("//")) {
            skipTo("\n");
        } else if (at("/*")) {
            skipTo("*/");
        } else if (!qml && (at("R\"") || at("u8R\""))) {
            pos = source.find('"', pos);
            const auto open = source.find('(', pos);
            const auto delimiter = ")" + std::string(source.substr(pos + 1, open - pos - 1)) + "\"";
            pos = open + 1;
            auto text = std::string(skipTo(delimiter));
            out.push_back(
                {Token::Kind::string, text.substr(0, text.size() - delimiter.size()), start});
        } else if (c == '"' || c == '\'') {
            std::string text;
            for (++pos; pos < source.size() && source[pos] != c; ++pos) {
                char next = source[pos];
                if (next == '\\' && pos + 1 < source.size()) {
                    next = source[++pos];
                    next = next == 'n' ? '\n' : next == 't' ? '\t' : next;
                }
                line += next == '\n' && source[pos] == '\n' ? 1 : 0;
                text.push_back(next);
            }
            ++pos;
            const bool string = c == '"' || qml;
            out.push_back({string ? Token::Kind::string : Token::Kind::other, text, start});
        } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_') {
            const auto begin = pos;
            const bool number = std::isdigit(static_cast<unsigned char>(c));
            while (pos < source.size() &&
                   (std::isalnum(static_cast<unsigned char>(source[pos])) || source[pos] == '_' ||
                    (number && (source[pos] == '\'' || source[pos] == '.')))) {
                ++pos;
            }
            out.push_back({number ? Token::Kind::other : Token::Kind::identifier,
                           std::string(source.substr(begin, pos - begin)), start});
        } else {
            line += c == '\n' ? 1 : 0;
            if (!std::isspace(static_cast<unsigned char>(c))) {
                out.push_back({Token::Kind::punctuation, std::string(1, c), start});
            }
            ++pos;
        }
    }
    return out;
}

struct LiteralKey {
    std::string key;
    std::size_t line = 0;
    std::string call; // the function the literal is passed to
};

std::vector<LiteralKey> localizationLiterals(std::string_view source, bool qml) {
    const auto all = tokens(source, qml);
    const auto is = [&](std::size_t i, std::string_view text) {
        return i < all.size() && all[i].kind == Token::Kind::punctuation && all[i].text == text;
    };
    std::vector<LiteralKey> found;
    for (std::size_t i = 0; i + 2 < all.size(); ++i) {
        const auto& name = all[i].text;
        if (all[i].kind != Token::Kind::identifier || !is(i + 1, "(")) {
            continue;
        }
        std::size_t argument = 0;
        if (name == "localized" || name == "tr" || name == "qsTr") {
            argument = i + 2;
        } else if (name == "localizedFormat") {
            // The second argument: after the first comma outside nested brackets.
            int depth = 0;
            for (std::size_t n = i + 2; n < all.size() && depth >= 0 && argument == 0; ++n) {
                const auto& text = all[n].kind == Token::Kind::punctuation ? all[n].text : "";
                depth += text == "(" || text == "[" || text == "{" ? 1 : 0;
                depth -= text == ")" || text == "]" || text == "}" ? 1 : 0;
                argument = text == "," && depth == 0 ? n + 1 : 0;
            }
        }
        // Adjacent literals joined, and nothing but ")" or "," after them: else it's computed.
        std::string key;
        std::size_t n = argument;
        while (argument != 0 && n < all.size() && all[n].kind == Token::Kind::string) {
            key += all[n++].text;
        }
        if (n > argument && (is(n, ")") || is(n, ","))) {
            found.push_back({key, all[i].line, name});
        }
    }
    return found;
}

class ShippedTables : public ::testing::Test {
protected:
    void SetUp() override {
        tables_ = shippedStringTables();
        english_ = tables_->table("en");
        ASSERT_NE(english_, nullptr) << "no English table";
        ASSERT_FALSE(english_->empty()) << "the English table is empty";
    }

    // Reports a key that some table lacks, naming the language and where the key is used.
    void expectInEveryTable(const std::string& key, const std::string& usedBy) const {
        for (const auto& language : tables_->languages()) {
            const auto* table = tables_->table(language);
            EXPECT_TRUE(table->contains(key)) << "\"" << key << "\" (" << usedBy
                                              << ") is missing from the " << language << " table";
        }
    }

    std::shared_ptr<const StringTables> tables_;
    const std::map<std::string, std::string, std::less<>>* english_ = nullptr;
};

TEST_F(ShippedTables, EveryLanguageTranslatesExactlyTheEnglishKeys) {
    ASSERT_EQ(tables_->languages(), shippedLanguages);
    for (const auto& [key, value] : *english_) {
        EXPECT_EQ(value, key) << "the English table must map each key to itself";
    }
    for (const auto& language : shippedLanguages) {
        const auto* table = tables_->table(language);
        ASSERT_NE(table, nullptr) << language;
        for (const auto& [key, value] : *english_) {
            EXPECT_TRUE(table->contains(key))
                << "\"" << key << "\" is missing from the " << language << " table";
        }
        for (const auto& [key, value] : *table) {
            EXPECT_TRUE(english_->contains(key))
                << "\"" << key << "\" of the " << language << " table is not an English key";
            EXPECT_FALSE(value.empty()) << language << " has an empty text for \"" << key << "\"";
            const auto isSpace = [](char c) { return std::isspace(static_cast<unsigned char>(c)); };
            if (!value.empty() && !key.empty()) {
                EXPECT_EQ(isSpace(value.front()), isSpace(key.front()))
                    << language << " \"" << key << "\": leading white space differs";
                EXPECT_EQ(isSpace(value.back()), isSpace(key.back()))
                    << language << " \"" << key << "\": trailing white space differs";
            }
        }
    }
}

TEST_F(ShippedTables, SourceFilesHoldEachKeyOnce) {
    // A JSON reader keeps only one of two equal keys, so a repeated key silently drops a
    // translation; it has to be caught in the file itself.
    for (const auto& language : shippedLanguages) {
        const auto path =
            fs::path(TESSERA_SOURCE_DIR) / "resources" / "strings" / (language + ".json");
        const auto text = readFile(path);
        ASSERT_FALSE(text.empty()) << path;
        std::map<std::string, int> counts;
        nlohmann::json::parser_callback_t countKeys =
            [&counts](int depth, nlohmann::json::parse_event_t event, nlohmann::json& parsed) {
                if (event == nlohmann::json::parse_event_t::key && depth == 1) {
                    ++counts[parsed.get<std::string>()];
                }
                return true;
            };
        nlohmann::json document;
        ASSERT_NO_THROW(document = nlohmann::json::parse(text, countKeys)) << path;
        EXPECT_TRUE(document.is_object()) << path;
        for (const auto& [key, count] : counts) {
            EXPECT_EQ(count, 1) << "\"" << key << "\" appears " << count << " times in " << path;
        }
        EXPECT_EQ(counts.size(), english_->size()) << path;
    }
}

TEST_F(ShippedTables, TranslationsKeepTheKeysPlaceholders) {
    std::size_t formatKeys = 0;
    for (const auto& [key, value] : *english_) {
        const auto keyPattern = parseFormat(key);
        formatKeys += keyPattern.placeholders.empty() ? 0 : 1;
        EXPECT_FALSE(!keyPattern.placeholders.empty() && keyPattern.stray)
            << "format key \"" << key << "\" has a stray %";
        for (const auto& language : shippedLanguages) {
            const auto* table = tables_->table(language);
            const auto it = table->find(key);
            if (it == table->end()) {
                continue; // reported by the key-set test
            }
            for (const auto& problem : formatProblems(key, it->second)) {
                ADD_FAILURE() << language << " \"" << it->second << "\" for \"" << key
                              << "\": " << problem;
            }
        }
    }
    EXPECT_GT(formatKeys, 0u) << "no format key was checked";
}

TEST_F(ShippedTables, KeysReachedThroughTheModelAreTranslated) {
    for (const auto& [id, name] : builtInNames()) {
        expectInEveryTable(name, "built-in layout or zone " + id.string());
    }
    for (const auto& [stored, current] : legacyNames()) {
        expectInEveryTable(current, "current name of the legacy name \"" + stored + "\"");
    }
    for (const auto& [suffix, formatKey] : legacySuffixes()) {
        expectInEveryTable(formatKey, "format key of the legacy suffix \"" + suffix + "\"");
    }
    for (const auto& preset : LayoutPreset::all()) {
        expectInEveryTable(preset.title, "title of the template \"" + preset.id + "\"");
        for (const auto& zone : preset.zones) {
            expectInEveryTable(zone.name, "zone of the template \"" + preset.id + "\"");
        }
    }
    for (const auto command : allWindowCommands) {
        expectInEveryTable(std::string(info(command).title),
                           "title of the window command " + std::string(rawValue(command)));
    }
}

TEST_F(ShippedTables, KeysWrittenInTheSourcesAreTranslated) {
    const fs::path root(TESSERA_SOURCE_DIR);
    // File kinds, and whether the file is QML (or its JavaScript), where ' quotes strings.
    const std::map<std::string, bool> scanned{
        {".h", false}, {".hpp", false}, {".cpp", false}, {".qml", true}, {".js", true}};
    std::size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(root / "src")) {
        const auto kind = scanned.find(entry.path().extension().string());
        if (!entry.is_regular_file() || kind == scanned.end()) {
            continue;
        }
        ++files;
        const auto relative = fs::relative(entry.path(), root).generic_string();
        for (const auto& literal : localizationLiterals(readFile(entry.path()), kind->second)) {
            const auto where = relative + ":" + std::to_string(literal.line);
            // Qt's own lookup never reads these tables: the text would stay English everywhere.
            EXPECT_TRUE(literal.call != "tr" && literal.call != "qsTr")
                << where << " passes \"" << literal.key << "\" to " << literal.call
                << "(), which bypasses the string tables";
            expectInEveryTable(literal.key, where);
        }
    }
    EXPECT_GT(files, 0u) << "no source file found under " << (root / "src");
}

} // namespace
} // namespace tessera
