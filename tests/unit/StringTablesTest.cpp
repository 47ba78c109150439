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
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
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

// ---------------------------------------------------------------------------------------------
// Format placeholders, read with the grammar formatString understands.

struct Placeholder {
    std::string type;                  // "@", "lld" or "d"
    std::optional<std::size_t> number; // 1-based position of "%1$@"-style placeholders
};

struct FormatPattern {
    std::vector<Placeholder> placeholders;
    std::vector<std::string> stray; // a "%" that formatString would copy through unchanged
    std::size_t literalPercents = 0;
};

FormatPattern parseFormat(std::string_view text) {
    FormatPattern pattern;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '%') {
            ++pattern.literalPercents;
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        std::optional<std::size_t> number;
        std::size_t k = j;
        std::size_t value = 0;
        while (k < text.size() && std::isdigit(static_cast<unsigned char>(text[k]))) {
            value = value * 10 + static_cast<std::size_t>(text[k] - '0');
            ++k;
        }
        if (k > j && k < text.size() && text[k] == '$') {
            number = value;
            j = k + 1;
        }
        const auto rest = text.substr(j);
        std::string type;
        if (rest.starts_with("@")) {
            type = "@";
        } else if (rest.starts_with("lld")) {
            type = "lld";
        } else if (rest.starts_with("d")) {
            type = "d";
        }
        if (type.empty()) {
            pattern.stray.emplace_back(text.substr(i, std::min<std::size_t>(4, text.size() - i)));
            continue;
        }
        pattern.placeholders.push_back({type, number});
        i = j + type.size() - 1;
    }
    return pattern;
}

std::multiset<std::string> placeholderTypes(const FormatPattern& pattern) {
    std::multiset<std::string> types;
    for (const auto& placeholder : pattern.placeholders) {
        types.insert("%" + placeholder.type);
    }
    return types;
}

std::string joined(const std::multiset<std::string>& items) {
    std::string out;
    for (const auto& item : items) {
        out += (out.empty() ? "" : " ") + item;
    }
    return "{" + out + "}";
}

// Everything wrong with one translation of a key as a format string; empty when it is sound.
std::vector<std::string> formatProblems(std::string_view key, std::string_view translation) {
    std::vector<std::string> problems;
    const auto keyPattern = parseFormat(key);
    const auto pattern = parseFormat(translation);
    if (keyPattern.placeholders.empty() && pattern.placeholders.empty()) {
        return problems;
    }
    for (const auto& stray : pattern.stray) {
        problems.push_back("stray \"" + stray + "\"");
    }
    if (placeholderTypes(keyPattern) != placeholderTypes(pattern)) {
        problems.push_back("placeholders " + joined(placeholderTypes(pattern)) + " instead of " +
                           joined(placeholderTypes(keyPattern)));
        return problems;
    }
    const auto positional = std::count_if(
        pattern.placeholders.begin(), pattern.placeholders.end(),
        [](const Placeholder& placeholder) { return placeholder.number.has_value(); });
    if (positional != 0 && static_cast<std::size_t>(positional) != pattern.placeholders.size()) {
        problems.push_back("mixes positional and sequential placeholders");
        return problems;
    }
    std::set<std::size_t> seen;
    for (std::size_t i = 0; i < pattern.placeholders.size(); ++i) {
        const auto& placeholder = pattern.placeholders[i];
        const std::size_t index = placeholder.number ? *placeholder.number - 1 : i;
        if (placeholder.number &&
            (*placeholder.number == 0 || *placeholder.number > keyPattern.placeholders.size() ||
             !seen.insert(*placeholder.number).second)) {
            problems.push_back("position " + std::to_string(*placeholder.number) +
                               " is out of range or repeated");
            continue;
        }
        if (keyPattern.placeholders[index].type != placeholder.type) {
            problems.push_back("argument " + std::to_string(index + 1) + " is used as %" +
                               placeholder.type + " but the key has %" +
                               keyPattern.placeholders[index].type);
        }
    }

    // The real formatter must use every argument and leave no placeholder behind.
    std::vector<std::string> arguments;
    for (std::size_t i = 0; i < keyPattern.placeholders.size(); ++i) {
        arguments.push_back(keyPattern.placeholders[i].type == "@"
                                ? "<argument " + std::to_string(i + 1) + ">"
                                : std::to_string(7301 + i));
    }
    const auto formatted = formatString(translation, arguments);
    if (static_cast<std::size_t>(std::count(formatted.begin(), formatted.end(), '%')) !=
        pattern.literalPercents) {
        problems.push_back("formatted text keeps a placeholder: \"" + formatted + "\"");
    }
    for (const auto& argument : arguments) {
        if (formatted.find(argument) == std::string::npos) {
            problems.push_back("formatted text lacks \"" + argument + "\": \"" + formatted + "\"");
        }
    }
    return problems;
}

// ---------------------------------------------------------------------------------------------
// Keys written literally in the sources: the string literal passed to localized("..."),
// tr("...") or as the second argument of localizedFormat(localizer, "...", ...). Qt's tr() and
// qsTr() are found too, since they are the calls that bypass the tables.

struct LiteralKey {
    std::string key;
    std::size_t line = 0;
    std::string call; // the function the literal is passed to
};

enum class SourceLanguage { cpp, qml };

struct Token {
    enum class Kind { identifier, string, punctuation, other } kind = Kind::other;
    std::string text; // identifier name, punctuation character, or the decoded string
    std::size_t line = 0;
};

void appendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

class Lexer {
public:
    Lexer(std::string_view source, SourceLanguage language)
        : source_(source), language_(language) {}

    std::vector<Token> tokens() {
        std::vector<Token> out;
        while (pos_ < source_.size()) {
            const char c = source_[pos_];
            if (c == '\n') {
                ++line_;
                ++pos_;
            } else if (std::isspace(static_cast<unsigned char>(c))) {
                ++pos_;
            } else if (startsWith("//")) {
                while (pos_ < source_.size() && source_[pos_] != '\n') {
                    ++pos_;
                }
            } else if (startsWith("/*")) {
                skipBlockComment();
            } else if (c == '"' || (c == '\'' && language_ == SourceLanguage::qml)) {
                const auto line = line_;
                out.push_back({Token::Kind::string, quoted(c), line});
            } else if (c == '\'' || c == '`') {
                const auto line = line_;
                quoted(c);
                out.push_back({Token::Kind::other, {}, line});
            } else if (std::isdigit(static_cast<unsigned char>(c))) {
                skipNumber();
                out.push_back({Token::Kind::other, {}, line_});
            } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
                lexWord(out);
            } else {
                out.push_back({Token::Kind::punctuation, std::string(1, c), line_});
                ++pos_;
            }
        }
        return out;
    }

private:
    bool startsWith(std::string_view text) const { return source_.substr(pos_).starts_with(text); }

    void skipBlockComment() {
        pos_ += 2;
        while (pos_ < source_.size() && !startsWith("*/")) {
            line_ += source_[pos_] == '\n' ? 1 : 0;
            ++pos_;
        }
        pos_ = std::min(pos_ + 2, source_.size());
    }

    // A pp-number, so that digit separators (1'000) are not taken for a character literal.
    void skipNumber() {
        while (pos_ < source_.size()) {
            const char c = source_[pos_];
            if ((c == '+' || c == '-') && pos_ > 0 &&
                std::string_view("eEpP").find(source_[pos_ - 1]) != std::string_view::npos) {
                ++pos_;
            } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' ||
                       c == '\'') {
                ++pos_;
            } else {
                break;
            }
        }
    }

    void lexWord(std::vector<Token>& out) {
        const auto start = pos_;
        while (pos_ < source_.size() &&
               (std::isalnum(static_cast<unsigned char>(source_[pos_])) || source_[pos_] == '_')) {
            ++pos_;
        }
        const auto word = source_.substr(start, pos_ - start);
        const bool quoteFollows = pos_ < source_.size() && source_[pos_] == '"';
        if (language_ == SourceLanguage::cpp && quoteFollows) {
            const auto line = line_;
            if (word == "R" || word == "u8R") {
                out.push_back({Token::Kind::string, raw(), line});
                return;
            }
            if (word == "LR" || word == "uR" || word == "UR") {
                raw();
                out.push_back({Token::Kind::other, {}, line});
                return;
            }
            if (word == "u8") {
                out.push_back({Token::Kind::string, quoted('"'), line});
                return;
            }
            if (word == "L" || word == "u" || word == "U") {
                quoted('"');
                out.push_back({Token::Kind::other, {}, line});
                return;
            }
        }
        out.push_back({Token::Kind::identifier, std::string(word), line_});
    }

    // R"delimiter(...)delimiter", starting at the opening quote.
    std::string raw() {
        const auto open = source_.find('(', pos_);
        if (open == std::string_view::npos) {
            pos_ = source_.size();
            return {};
        }
        const std::string closing =
            ")" + std::string(source_.substr(pos_ + 1, open - pos_ - 1)) + "\"";
        const auto close = source_.find(closing, open + 1);
        const auto end = close == std::string_view::npos ? source_.size() : close;
        std::string value(source_.substr(open + 1, end - open - 1));
        line_ += static_cast<std::size_t>(std::count(value.begin(), value.end(), '\n'));
        pos_ = std::min(end + closing.size(), source_.size());
        return value;
    }

    // A quoted literal starting at the opening quote, returned with its escapes resolved.
    std::string quoted(char quote) {
        std::string value;
        ++pos_;
        while (pos_ < source_.size() && source_[pos_] != quote) {
            const char c = source_[pos_++];
            if (c == '\n') {
                ++line_;
            }
            if (c != '\\' || pos_ >= source_.size()) {
                value.push_back(c);
                continue;
            }
            escape(value);
        }
        ++pos_;
        return value;
    }

    std::uint32_t hexDigits(std::size_t maximum) {
        std::uint32_t code = 0;
        for (std::size_t n = 0; n < maximum && pos_ < source_.size() &&
                                std::isxdigit(static_cast<unsigned char>(source_[pos_]));
             ++n, ++pos_) {
            const char d =
                static_cast<char>(std::tolower(static_cast<unsigned char>(source_[pos_])));
            code = code * 16 + static_cast<std::uint32_t>(d <= '9' ? d - '0' : d - 'a' + 10);
        }
        return code;
    }

    void escape(std::string& value) {
        const char e = source_[pos_++];
        switch (e) {
        case 'n':
            value.push_back('\n');
            return;
        case 't':
            value.push_back('\t');
            return;
        case 'r':
            value.push_back('\r');
            return;
        case '\n':
            ++line_; // a line continuation inside the literal
            return;
        case 'x':
            value.push_back(static_cast<char>(hexDigits(2)));
            return;
        case 'u':
            if (language_ == SourceLanguage::qml && pos_ < source_.size() && source_[pos_] == '{') {
                ++pos_;
                appendUtf8(value, hexDigits(6));
                pos_ += pos_ < source_.size() && source_[pos_] == '}' ? 1 : 0;
                return;
            }
            appendUtf8(value, hexDigits(4));
            return;
        case 'U':
            appendUtf8(value, hexDigits(8));
            return;
        default:
            // \" \\ \' \? and anything else stand for the character itself.
            value.push_back(e);
        }
    }

    std::string_view source_;
    SourceLanguage language_;
    std::size_t pos_ = 0;
    std::size_t line_ = 1;
};

bool isPunctuation(const Token& token, std::string_view text) {
    return token.kind == Token::Kind::punctuation && token.text == text;
}

// The literal key starting at tokens[i]: adjacent literals joined, and nothing but a ")" or
// "," after them (anything else means the key is computed, not written out).
std::optional<std::string> literalArgument(const std::vector<Token>& tokens, std::size_t i) {
    std::string key;
    std::size_t n = i;
    while (n < tokens.size() && tokens[n].kind == Token::Kind::string) {
        key += tokens[n++].text;
    }
    if (n == i || n >= tokens.size() ||
        !(isPunctuation(tokens[n], ")") || isPunctuation(tokens[n], ","))) {
        return std::nullopt;
    }
    return key;
}

std::vector<LiteralKey> localizationLiterals(std::string_view source, SourceLanguage language) {
    const auto tokens = Lexer(source, language).tokens();
    std::vector<LiteralKey> found;
    for (std::size_t i = 0; i + 2 < tokens.size(); ++i) {
        const auto& name = tokens[i];
        if (name.kind != Token::Kind::identifier || !isPunctuation(tokens[i + 1], "(")) {
            continue;
        }
        std::optional<std::size_t> argument;
        if (name.text == "localized" || name.text == "tr" || name.text == "qsTr") {
            argument = i + 2;
        } else if (name.text == "localizedFormat") {
            int depth = 0;
            for (std::size_t n = i + 2; n < tokens.size(); ++n) {
                const auto& token = tokens[n];
                if (token.kind != Token::Kind::punctuation) {
                    continue;
                }
                if (token.text == "(" || token.text == "[" || token.text == "{") {
                    ++depth;
                } else if (token.text == ")" || token.text == "]" || token.text == "}") {
                    if (--depth < 0) {
                        break;
                    }
                } else if (token.text == "," && depth == 0) {
                    argument = n + 1;
                    break;
                }
            }
        }
        if (argument) {
            if (auto key = literalArgument(tokens, *argument)) {
                found.push_back({std::move(*key), name.line, name.text});
            }
        }
    }
    return found;
}

// ---------------------------------------------------------------------------------------------

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
        if (!keyPattern.placeholders.empty()) {
            EXPECT_TRUE(keyPattern.stray.empty()) << "format key \"" << key << "\" has a stray %";
        }
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
    const std::map<std::string, SourceLanguage> scanned{{".h", SourceLanguage::cpp},
                                                        {".hpp", SourceLanguage::cpp},
                                                        {".cpp", SourceLanguage::cpp},
                                                        {".qml", SourceLanguage::qml},
                                                        {".js", SourceLanguage::qml}};
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
