// Any bytes as a preferences file: reading must never crash, and whatever reads back must
// survive being written and read again unchanged, foreign entries included.

#include "platform/linux/PlistDefaults.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>

namespace {

using tessera::DefaultsDomain;
using tessera::DefaultsValue;

// Property lists may hold NaN, which equals nothing, itself included.
bool sameValue(const DefaultsValue& a, const DefaultsValue& b) {
    const auto* x = std::get_if<double>(&a);
    const auto* y = std::get_if<double>(&b);
    if (x != nullptr && y != nullptr) {
        return *x == *y || (std::isnan(*x) && std::isnan(*y));
    }
    return a == b;
}

bool sameDomain(const DefaultsDomain& a, const DefaultsDomain& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (auto x = a.begin(), y = b.begin(); x != a.end(); ++x, ++y) {
        if (x->first != y->first || !sameValue(x->second, y->second)) {
            return false;
        }
    }
    return true;
}

// libplist writes dates far outside the common era in a form it reads back as another date;
// dates are carried, never interpreted, so their text is left out of the comparison.
std::string withoutDates(std::string text) {
    for (auto start = text.find("<date>"); start != std::string::npos;
         start = text.find("<date>", start + 1)) {
        const auto end = text.find("</date>", start);
        if (end == std::string::npos) {
            break;
        }
        text.erase(start + 6, end - start - 6);
    }
    return text;
}

[[noreturn]] void fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "%s\n%s\n", what, detail.c_str());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    if (const auto domain = tessera::decodePreferences(bytes, nullptr)) {
        const auto encoded = tessera::encodePreferences(*domain);
        std::string error;
        const auto again = tessera::decodePreferences(encoded, &error);
        if (!again) {
            fail("the written preferences do not read back:", error);
        }
        if (!sameDomain(*domain, *again)) {
            fail("the preferences changed on the way through the file:", encoded);
        }
    }

    if (const auto document = tessera::decodePreferencesDocument(bytes, nullptr)) {
        const auto encoded = tessera::encodePreferencesDocument(*document);
        std::string error;
        const auto again = tessera::decodePreferencesDocument(encoded, &error);
        if (!again) {
            fail("the written file does not read back:", error);
        }
        if (!sameDomain(document->values, again->values)) {
            fail("the values changed on the way through the file:", encoded);
        }
        if (document->foreign.size() != again->foreign.size()) {
            fail("entries of other types were lost:", encoded);
        }
        if (withoutDates(tessera::encodePreferencesDocument(*again)) != withoutDates(encoded)) {
            fail("writing what was read back gives other bytes:", encoded);
        }
    }
    return 0;
}
