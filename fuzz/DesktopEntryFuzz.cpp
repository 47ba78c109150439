// Any bytes as a desktop entry: reading must never crash, and an entry that reads must survive
// being written out with the format's escapes and read again unchanged.

#include "platform/linux/DesktopEntries.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

using tessera::DesktopEntry;

// A string value with every character the parser could trim or split on escaped.
std::string escaped(const std::string& value) {
    std::string text;
    for (const char c : value) {
        switch (c) {
        case ' ':
            text += "\\s";
            break;
        case '\t':
            text += "\\t";
            break;
        case '\n':
            text += "\\n";
            break;
        case '\r':
            text += "\\r";
            break;
        case '\\':
            text += "\\\\";
            break;
        default:
            text.push_back(c);
        }
    }
    return text;
}

std::string written(const DesktopEntry& entry) {
    return "[Desktop Entry]\nType=" + escaped(entry.type) + "\nName=" + escaped(entry.name) +
           "\nExec=" + escaped(entry.exec) + "\nIcon=" + escaped(entry.icon) +
           "\nStartupWMClass=" + escaped(entry.startupWMClass) +
           "\nNoDisplay=" + (entry.noDisplay ? "true" : "false") +
           "\nHidden=" + (entry.hidden ? "true" : "false") + "\n";
}

[[noreturn]] void fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "%s\n%s\n", what, detail.c_str());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto entry = tessera::parseDesktopEntry(bytes, nullptr);
    if (!entry) {
        return 0;
    }
    const auto text = written(*entry);
    if (text.size() > tessera::maximumDesktopEntrySize) {
        return 0; // escaping can double a value; the limit is about files, not about us
    }
    std::string error;
    auto again = tessera::parseDesktopEntry(text, &error);
    if (!again) {
        fail("the written entry does not read back:", error + "\n" + text);
    }
    if (*again != *entry) {
        fail("the entry changed on the way through the file:", text);
    }

    // An application's own StartupWMClass finds it, whatever the case of the window's class.
    auto named = *entry;
    named.id = "fuzzed";
    named.type = "Application";
    named.hidden = false;
    if (!named.startupWMClass.empty()) {
        const std::vector<DesktopEntry> entries{named};
        std::string upper = named.startupWMClass;
        for (auto& c : upper) {
            if (c >= 'a' && c <= 'z') {
                c = static_cast<char>(c - 'a' + 'A');
            }
        }
        const auto found = tessera::findDesktopEntry(entries, "", upper);
        if (!found || found->id != "fuzzed") {
            fail("an entry was not found by its own StartupWMClass:", named.startupWMClass);
        }
    }
    return 0;
}
