#include "core/model/StringTables.h"
#include "ShippedStrings.h"
#include "TempDir.h"
#include "core/model/Signal.h"
#include "core/placement/WindowCommand.h"
#include "core/store/BuiltInLayouts.h"
#include "core/store/DisplayNames.h"
#include "core/store/Templates.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <regex>
#include <string>
#include <vector>

namespace tessera {
namespace {
namespace fs = std::filesystem;

std::size_t placeholderCount(const std::string& text) {
    static const std::regex placeholder(R"(%(?:[0-9]+\$)?(?:@|lld|d))");
    return static_cast<std::size_t>(
        std::distance(std::sregex_iterator(text.begin(), text.end(), placeholder), {}));
}

// The keys passed literally to localized(), tr(), qsTr() or as localizedFormat's key, adjacent
// literals joined; a call given anything else computes its key and is not listed.
std::vector<std::pair<std::string, std::string>> literalKeys(std::string source) {
    // Comment lines may show a call as an example.
    static const std::regex commentLine(R"(^[ \t]*(//|/?\*).*$)", std::regex::multiline);
    source = std::regex_replace(source, commentLine, "");
    static const std::regex call(
        R"re(\b(?:(localized|tr|qsTr)\(|(localizedFormat)\(\s*[\w.>-]+\s*,)\s*((?:"(?:[^"\\]|\\.)*"\s*)+)[,)])re");
    static const std::regex literal(R"re("((?:[^"\\]|\\.)*)")re");
    std::vector<std::pair<std::string, std::string>> found;
    for (std::sregex_iterator it(source.begin(), source.end(), call), end; it != end; ++it) {
        std::string key;
        const auto literals = (*it)[3].str();
        for (std::sregex_iterator part(literals.begin(), literals.end(), literal); part != end;
             ++part) {
            const auto raw = (*part)[1].str();
            for (std::size_t i = 0; i < raw.size(); ++i) {
                const bool escaped = raw[i] == '\\' && i + 1 < raw.size();
                const char c = escaped ? raw[++i] : raw[i];
                key += escaped && c == 'n' ? '\n' : escaped && c == 't' ? '\t' : c;
            }
        }
        found.emplace_back((*it)[1].matched ? (*it)[1].str() : (*it)[2].str(), key);
    }
    return found;
}

class ShippedTables : public ::testing::Test {
protected:
    void expectInEveryTable(const std::string& key, const std::string& usedBy) const {
        for (const auto& language : tables->languages()) {
            EXPECT_TRUE(tables->table(language)->contains(key))
                << "\"" << key << "\" (" << usedBy << ") is missing from the " << language
                << " table";
        }
    }

    std::shared_ptr<const StringTables> tables = shippedStringTables();
};

// A key missing from a table shows English in the middle of another language; a translation
// that drops or mistypes a placeholder shows a raw "%@" or loses the value.
TEST_F(ShippedTables, EveryLanguageTranslatesExactlyTheEnglishKeysKeepingPlaceholders) {
    ASSERT_EQ(tables->languages(), (std::vector<std::string>{"en", "ru", "fr", "es", "el", "de"}));
    const auto& english = *tables->table("en");
    for (const auto& language : tables->languages()) {
        const auto& table = *tables->table(language);
        EXPECT_EQ(table.size(), english.size()) << language;
        for (const auto& [key, value] : english) {
            const auto it = table.find(key);
            if (it == table.end()) {
                ADD_FAILURE() << "\"" << key << "\" is missing from the " << language << " table";
                continue;
            }
            EXPECT_FALSE(it->second.empty()) << language << " \"" << key << "\"";
            const auto count = placeholderCount(key);
            if (count == 0) {
                continue;
            }
            std::vector<std::string> arguments;
            for (std::size_t i = 1; i <= count; ++i) {
                arguments.push_back("<" + std::to_string(i) + ">");
            }
            const auto formatted = formatString(it->second, arguments);
            EXPECT_EQ(placeholderCount(it->second), count) << language << " \"" << it->second;
            for (const auto& argument : arguments) {
                EXPECT_NE(formatted.find(argument), std::string::npos)
                    << language << " \"" << it->second << "\" formats as \"" << formatted << "\"";
            }
        }
    }
}

TEST_F(ShippedTables, KeysTheModelAndTheSourcesUseAreTranslated) {
    for (const auto& [id, name] : builtInNames()) {
        expectInEveryTable(name, "built-in layout or zone " + id.string());
    }
    for (const auto& [stored, current] : legacyNames()) {
        expectInEveryTable(current, "current name of \"" + stored + "\"");
    }
    for (const auto& [suffix, formatKey] : legacySuffixes()) {
        expectInEveryTable(formatKey, "legacy suffix \"" + suffix + "\"");
    }
    for (const auto& preset : LayoutPreset::all()) {
        expectInEveryTable(preset.title, "template " + preset.id);
        for (const auto& zone : preset.zones) {
            expectInEveryTable(zone.name, "zone of the template " + preset.id);
        }
    }
    for (const auto command : allWindowCommands) {
        expectInEveryTable(std::string(info(command).title), std::string(rawValue(command)));
    }

    std::size_t keys = 0;
    const fs::path root(TESSERA_SOURCE_DIR);
    for (const auto& entry : fs::recursive_directory_iterator(root / "src")) {
        const auto extension = entry.path().extension();
        if (!entry.is_regular_file() || (extension != ".h" && extension != ".cpp" &&
                                         extension != ".qml" && extension != ".js")) {
            continue;
        }
        const auto where = fs::relative(entry.path(), root).generic_string();
        for (const auto& [call, key] : literalKeys(test::readTestFile(entry.path()))) {
            ++keys;
            // Qt's own lookup never reads these tables: the text would stay English everywhere.
            EXPECT_TRUE(call != "tr" && call != "qsTr")
                << where << " passes \"" << key << "\" to " << call << "()";
            expectInEveryTable(key, where);
        }
    }
    EXPECT_GT(keys, 200u) << "the scan of the sources found almost nothing";
}
} // namespace
} // namespace tessera

using namespace tessera;

TEST(Signal, ConnectionsEndDuringEmissionOrWithTheirScopeAndMayOutliveTheSignal) {
    Connection outliving;
    {
        Signal<int> signal;
        std::vector<std::string> calls;
        // Slots may disconnect themselves and others while the signal emits.
        Connection second;
        Connection first = signal.connect([&](int v) {
            calls.push_back("first " + std::to_string(v));
            second.disconnect();
        });
        second = signal.connect([&](int) { calls.push_back("second"); });
        Connection third = signal.connect([&](int) {
            calls.push_back("third");
            third.disconnect();
        });
        signal.emit(1);
        signal.emit(2);
        EXPECT_EQ(signal.slotCount(), 1u);
        {
            Connection scoped = signal.connect([&](int) { calls.push_back("scoped"); });
            signal.emit(3);
        }
        signal.emit(4);
        EXPECT_EQ(calls, (std::vector<std::string>{"first 1", "third", "first 2", "first 3",
                                                   "scoped", "first 4"}));
        outliving = signal.connect([&](int) { calls.push_back("outliving"); });
    }
    outliving.disconnect(); // the signal is gone; this must be harmless
}
