#include "core/model/Signal.h"
#include "core/model/StringTables.h"

#include <gtest/gtest.h>

#include <memory>

using namespace tessera;

TEST(Signal, SlotsCanDisconnectThemselvesAndOthersDuringEmission) {
    Signal<int> signal;
    std::vector<std::string> calls;
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
    EXPECT_EQ(calls, (std::vector<std::string>{"first 1", "third", "first 2"}));
    EXPECT_EQ(signal.slotCount(), 1u);
}

TEST(Signal, ConnectionsEndWithTheirScopeAndMayOutliveTheSignal) {
    int calls = 0;
    Connection outliving;
    {
        Signal<> signal;
        {
            Connection scoped = signal.connect([&] { ++calls; });
            signal.emit();
        }
        signal.emit();
        outliving = signal.connect([&] { ++calls; });
    }
    outliving.disconnect(); // the signal is gone; this must be harmless
    EXPECT_EQ(calls, 1);
}

TEST(Format, FillsPlaceholdersInOrderOrByPosition) {
    EXPECT_EQ(formatString("%@ Top", {"Main"}), "Main Top");
    EXPECT_EQ(formatString("Zone %lld", {"3"}), "Zone 3");
    EXPECT_EQ(formatString("%2$@ – %1$@", {"a", "b"}), "b – a");
    EXPECT_EQ(formatString("100%% of %@", {"x"}), "100% of x");
    EXPECT_EQ(formatString("%@ and %@", {"only"}), "only and ");
    EXPECT_EQ(formatString("trailing %", {}), "trailing %");
    EXPECT_EQ(formatString("%q stays", {"x"}), "%q stays");
}

TEST(StringTables, LocalizerFallsBackToTheKey) {
    auto tables = std::make_shared<StringTables>();
    ASSERT_EQ(tables->add("en", R"({"%@ Top": "%@ Top"})"), "");
    ASSERT_EQ(tables->add("de", R"({"%@ Top": "%@ oben", "Main": "Haupt"})"), "");
    EXPECT_NE(tables->add("fr", R"({"Main": 3})"), "");
    EXPECT_NE(tables->add("fr", "not json"), "");
    const TableLocalizer german(tables, "de");
    EXPECT_EQ(german.localized("Main"), "Haupt");
    EXPECT_EQ(german.localized("Unknown"), "Unknown");
    EXPECT_EQ(localizedFormat(german, "%@ Top", {german.localized("Main")}), "Haupt oben");
    EXPECT_EQ(german.lookup("Main", "en"), std::nullopt);
    EXPECT_EQ(german.languages(), (std::vector<std::string>{"en", "de"}));
    EXPECT_EQ(TableLocalizer(tables, "xx").localized("Main"), "Main");
}
