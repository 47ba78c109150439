#include "PropertyList.h"

#include <plist/plist.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <unordered_map>
#include <utility>

namespace tessera {

namespace {

struct FreeDeleter {
    void operator()(void* pointer) const { std::free(pointer); }
};
using MallocString = std::unique_ptr<char, FreeDeleter>;

// ---- Nesting guard ----------------------------------------------------------------------------
//
// libplist 2.2 parses nesting without recursion but frees, copies and writes trees recursively,
// so a file of a million nested arrays parses and then overflows the stack. The scan below
// bounds the depth libplist can build before it sees the bytes. It follows libplist's reading
// of comments, CDATA, processing instructions, the document type and quoted attribute values;
// a closing tag is counted only where libplist would read one, while an opening tag counts
// wherever it appears, so any disagreement between the two readings errs towards refusing.

bool startsAt(std::string_view text, std::size_t pos, std::string_view prefix) {
    return text.substr(pos, prefix.size()) == prefix;
}

// The first of `chars` at or after `pos`, stepping over double-quoted runs.
std::size_t findOutsideQuotes(std::string_view text, std::size_t pos, std::string_view chars) {
    while (pos < text.size()) {
        if (text[pos] == '"') {
            pos = text.find('"', pos + 1);
            if (pos == std::string_view::npos) {
                return pos;
            }
        } else if (chars.find(text[pos]) != std::string_view::npos) {
            return pos;
        }
        ++pos;
    }
    return std::string_view::npos;
}

std::size_t findStringOutsideQuotes(std::string_view text, std::size_t pos,
                                    std::string_view needle) {
    while (pos < text.size()) {
        if (startsAt(text, pos, needle)) {
            return pos;
        }
        if (text[pos] == '"') {
            pos = text.find('"', pos + 1);
            if (pos == std::string_view::npos) {
                return pos;
            }
        }
        ++pos;
    }
    return std::string_view::npos;
}

struct Tag {
    std::string_view name;
    bool empty = false;
    std::size_t end = std::string_view::npos; // the closing '>' (or where reading stopped)
};

// The tag whose '<' is at `lt`: its name runs to white space, '<' or '>'; attributes run to
// the first unquoted '<' or '>'.
Tag readTag(std::string_view text, std::size_t lt) {
    Tag tag;
    const auto nameEnd = text.find_first_of(" \r\n\t<>", lt + 1);
    if (nameEnd == std::string_view::npos) {
        return tag;
    }
    tag.name = text.substr(lt + 1, nameEnd - lt - 1);
    tag.end = text[nameEnd] == '>' ? nameEnd : findOutsideQuotes(text, nameEnd, "<>");
    if (tag.end != std::string_view::npos && text[tag.end] == '>' && text[tag.end - 1] == '/') {
        tag.empty = true;
        if (tag.name.ends_with('/')) {
            tag.name.remove_suffix(1);
        }
    }
    return tag;
}

bool opensContainer(const Tag& tag) {
    return !tag.empty && (tag.name == "array" || tag.name == "dict");
}

// Opening tags inside a stretch libplist skips; counted all the same.
int opensWithin(std::string_view text, std::size_t from, std::size_t to) {
    int opens = 0;
    for (auto lt = text.find('<', from); lt < to; lt = text.find('<', lt + 1)) {
        if (opensContainer(readTag(text, lt))) {
            ++opens;
        }
    }
    return opens;
}

// Where the skipped stretch starting at `lt` ends (one past it), or nothing when `lt` starts
// ordinary markup. npos when the stretch never ends (libplist then fails).
std::optional<std::size_t> skippedStretchEnd(std::string_view text, std::size_t lt) {
    const auto endOf = [&](std::size_t found, std::size_t length) {
        return found == std::string_view::npos ? found : found + length;
    };
    if (startsAt(text, lt, "<!--")) {
        return endOf(text.find("-->", lt + 4), 3);
    }
    if (startsAt(text, lt, "<![CDATA[")) {
        return endOf(text.find("]]>", lt + 9), 3);
    }
    if (startsAt(text, lt, "<?")) {
        return endOf(findStringOutsideQuotes(text, lt + 1, "?>"), 2);
    }
    if (startsAt(text, lt, "<!DOCTYPE")) {
        const auto stop = findOutsideQuotes(text, lt + 9, "[>");
        if (stop == std::string_view::npos || text[stop] == '>') {
            return endOf(stop, 1);
        }
        return endOf(findStringOutsideQuotes(text, stop, "]>"), 2);
    }
    return std::nullopt;
}

bool nestsTooDeeply(std::string_view text) {
    int depth = 0;
    std::size_t pos = 0;
    while (true) {
        const auto lt = text.find('<', pos);
        if (lt == std::string_view::npos) {
            return false;
        }
        if (const auto stretchEnd = skippedStretchEnd(text, lt)) {
            const auto end = std::min(*stretchEnd, text.size());
            depth += opensWithin(text, lt + 1, end);
            if (depth > maxPropertyListNesting || *stretchEnd == std::string_view::npos) {
                return depth > maxPropertyListNesting;
            }
            pos = end;
            continue;
        }
        const auto tag = readTag(text, lt);
        if (tag.end == std::string_view::npos) {
            return depth + opensWithin(text, lt + 1, text.size()) > maxPropertyListNesting;
        }
        if (!tag.empty && (tag.name == "/array" || tag.name == "/dict")) {
            depth = std::max(depth - 1, 0);
        } else if (opensContainer(tag)) {
            ++depth;
        }
        depth += opensWithin(text, lt + 1, tag.end);
        if (depth > maxPropertyListNesting) {
            return true;
        }
        pos = tag.end + 1;
    }
}

// ---- Binary guard -----------------------------------------------------------------------------
//
// A binary property list is a table of objects that refer to each other by index. libplist
// follows every reference recursively and builds a fresh copy of the object each time, so a
// chain of arrays that each refer twice to the next unfolds a few hundred bytes into billions of
// nodes, and a long chain overflows the stack. The scan below walks the same structure once per
// object (remembering what it has seen), checks every offset, length and reference against the
// bytes the way libplist will read them, and adds up the tree libplist would build.

constexpr std::string_view binaryMagic = "bplist";
constexpr std::string_view binaryVersion = "bplist00";
constexpr std::size_t trailerSize = 32;

class BinaryScan {
public:
    explicit BinaryScan(std::string_view bytes) : bytes_(bytes) {}

    // Nothing when libplist may read the bytes, else why not.
    std::optional<std::string> problem() {
        if (!readTrailer()) {
            return problem_;
        }
        marks_.assign(objectCount_, Mark::unseen);
        totals_.assign(objectCount_, Totals{});
        keyChecks_.assign(objectCount_, KeyCheck::unknown);
        if (!visit(topObject_, 0)) {
            return problem_;
        }
        return std::nullopt;
    }

private:
    enum class Mark : std::uint8_t { unseen, open, done };
    enum class KeyCheck : std::uint8_t { unknown, good, bad };
    struct Totals {
        std::uint64_t objects = 0;
        std::uint64_t contentBytes = 0;
        // Arrays and dictionaries nested in the object, itself included.
        int height = 0;
    };
    struct Object {
        // Where the references of an array, set or dictionary start, and how many there are.
        std::size_t references = 0;
        std::uint64_t referenceCount = 0;
        // What libplist allocates for the object's contents.
        std::uint64_t contentBytes = 0;
        bool container = false;
        // A dictionary's first half of references names its keys.
        bool dictionary = false;
    };

    bool fail(std::string reason) {
        problem_ = std::move(reason);
        return false;
    }
    bool malformed() { return fail("it is not a valid binary property list"); }

    std::uint64_t bigEndian(std::size_t pos, std::size_t width) const {
        std::uint64_t value = 0;
        for (std::size_t i = 0; i < width; ++i) {
            value = (value << 8) | static_cast<unsigned char>(bytes_[pos + i]);
        }
        return value;
    }

    bool readTrailer() {
        if (bytes_.size() < binaryVersion.size() + trailerSize) {
            return malformed();
        }
        if (!bytes_.starts_with(binaryVersion)) {
            return fail("it is a binary property list of a version that can't be read");
        }
        const auto trailer = bytes_.size() - trailerSize;
        offsetSize_ = static_cast<unsigned char>(bytes_[trailer + 6]);
        referenceSize_ = static_cast<unsigned char>(bytes_[trailer + 7]);
        objectCount_ = bigEndian(trailer + 8, 8);
        topObject_ = bigEndian(trailer + 16, 8);
        const auto tableOffset = bigEndian(trailer + 24, 8);
        if (offsetSize_ < 1 || offsetSize_ > 8 || referenceSize_ < 1 || referenceSize_ > 8 ||
            objectCount_ == 0 || topObject_ >= objectCount_) {
            return malformed();
        }
        if (objectCount_ > maxPropertyListObjects) {
            return fail("it holds more than " + std::to_string(maxPropertyListObjects) +
                        " objects");
        }
        if (tableOffset < binaryVersion.size() || tableOffset > trailer ||
            objectCount_ * offsetSize_ > trailer - tableOffset) {
            return malformed();
        }
        objectsEnd_ = static_cast<std::size_t>(tableOffset);
        return true;
    }

    // The object's length field: the low four bits of the marker, or an integer object after it.
    std::optional<std::uint64_t> length(std::uint8_t marker, std::size_t& pos) const {
        if ((marker & 0x0F) != 0x0F) {
            return marker & 0x0F;
        }
        if (pos >= objectsEnd_) {
            return std::nullopt;
        }
        const auto sizeMarker = static_cast<unsigned char>(bytes_[pos]);
        const std::size_t width = std::size_t{1} << (sizeMarker & 0x0F);
        if ((sizeMarker & 0xF0) != 0x10 || width > 8 || width > objectsEnd_ - pos - 1) {
            return std::nullopt;
        }
        const auto value = bigEndian(pos + 1, width);
        pos += 1 + width;
        return value;
    }

    // Where the object starts, if that lies among the objects.
    std::optional<std::size_t> start(std::uint64_t index) const {
        const auto offset =
            bigEndian(objectsEnd_ + static_cast<std::size_t>(index) * offsetSize_, offsetSize_);
        if (offset < binaryVersion.size() || offset >= objectsEnd_) {
            return std::nullopt;
        }
        return static_cast<std::size_t>(offset);
    }

    // libplist 2.2 fails an assertion, ending the process, when it hands out a dictionary key
    // that holds a NUL character, as a UTF-16 key can. Keys must be strings anyway.
    // Remembered per object, as many dictionaries may share one key.
    bool isKeyWithoutNul(std::uint64_t index) {
        auto& known = keyChecks_[static_cast<std::size_t>(index)];
        if (known == KeyCheck::unknown) {
            known = checkKey(index) ? KeyCheck::good : KeyCheck::bad;
        }
        return known == KeyCheck::good;
    }

    bool checkKey(std::uint64_t index) const {
        const auto at = start(index);
        if (!at) {
            return false;
        }
        const auto marker = static_cast<std::uint8_t>(bytes_[*at]);
        auto pos = *at + 1;
        const auto count = length(marker, pos);
        if (!count) {
            return false;
        }
        if ((marker & 0xF0) == 0x50 && *count <= objectsEnd_ - pos) {
            return bytes_.substr(pos, static_cast<std::size_t>(*count)).find('\0') ==
                   std::string_view::npos;
        }
        if ((marker & 0xF0) == 0x60 && *count <= (objectsEnd_ - pos) / 2) {
            for (std::size_t unit = 0; unit < *count; ++unit) {
                if (bigEndian(pos + 2 * unit, 2) == 0) {
                    return false;
                }
            }
            return true;
        }
        return false;
    }

    std::optional<Object> object(std::uint64_t index) const {
        const auto at = start(index);
        if (!at) {
            return std::nullopt;
        }
        auto pos = *at;
        const auto marker = static_cast<std::uint8_t>(bytes_[pos++]);
        const auto room = [&](std::uint64_t needed) { return needed <= objectsEnd_ - pos; };
        Object found;
        switch (marker >> 4) {
        case 0x0: // null, false, true
            if (marker != 0x00 && marker != 0x08 && marker != 0x09) {
                return std::nullopt;
            }
            return found;
        case 0x1: // integer of 1, 2, 4, 8 or 16 bytes
            if ((marker & 0x0F) > 4 || !room(std::uint64_t{1} << (marker & 0x0F))) {
                return std::nullopt;
            }
            return found;
        case 0x2: // real of 4 or 8 bytes
        case 0x3: // date
            if ((marker & 0x0F) < 2 || (marker & 0x0F) > 3 ||
                ((marker >> 4) == 3 && marker != 0x33) ||
                !room(std::uint64_t{1} << (marker & 0x0F))) {
                return std::nullopt;
            }
            return found;
        case 0x8: // uid
            if (!room((marker & 0x0F) + 1U)) {
                return std::nullopt;
            }
            return found;
        default:
            break;
        }
        const auto count = length(marker, pos);
        if (!count) {
            return std::nullopt;
        }
        switch (marker >> 4) {
        case 0x4: // data
        case 0x5: // ASCII string
            if (!room(*count)) {
                return std::nullopt;
            }
            found.contentBytes = *count + 1;
            return found;
        case 0x6: // UTF-16 string, converted into a buffer of four bytes per unit
            if (*count > (objectsEnd_ - pos) / 2) {
                return std::nullopt;
            }
            found.contentBytes = 4 * (*count + 1);
            return found;
        case 0xA: // array
        case 0xC: // set, read as an array
        case 0xD: // dictionary: the keys' references, then the values'
        {
            const std::uint64_t perEntry = (marker >> 4) == 0xD ? 2 : 1;
            if (*count > (objectsEnd_ - pos) / (perEntry * referenceSize_)) {
                return std::nullopt;
            }
            found.container = true;
            found.dictionary = perEntry == 2;
            found.references = pos;
            found.referenceCount = *count * perEntry;
            return found;
        }
        default:
            return std::nullopt;
        }
    }

    bool nestsTooDeeply() {
        return fail("it nests arrays or dictionaries more than " +
                    std::to_string(maxPropertyListNesting) + " deep");
    }

    // `depth` counts the arrays and dictionaries around the object on this path. An object
    // already seen may be reached again deeper down, so its height is checked against every
    // path. The recursion is bounded by the nesting limit.
    bool visit(std::uint64_t index, int depth) {
        const auto i = static_cast<std::size_t>(index);
        if (marks_[i] == Mark::done) {
            return depth + totals_[i].height <= maxPropertyListNesting || nestsTooDeeply();
        }
        if (marks_[i] == Mark::open) {
            return fail("it contains an array or dictionary that contains itself");
        }
        const auto found = object(index);
        if (!found) {
            return malformed();
        }
        Totals total{1, found->contentBytes, found->container ? 1 : 0};
        if (found->container) {
            if (depth + 1 > maxPropertyListNesting) {
                return nestsTooDeeply();
            }
            marks_[i] = Mark::open;
            for (std::uint64_t r = 0; r < found->referenceCount; ++r) {
                const auto child =
                    bigEndian(found->references + static_cast<std::size_t>(r) * referenceSize_,
                              referenceSize_);
                if (child >= objectCount_) {
                    return malformed();
                }
                if (found->dictionary && r < found->referenceCount / 2 && !isKeyWithoutNul(child)) {
                    return fail("it has a dictionary key that is not a string or holds a NUL "
                                "character");
                }
                if (!visit(child, depth + 1)) {
                    return false;
                }
                // Each part is within the limits, so the sums can't overflow.
                const auto& part = totals_[static_cast<std::size_t>(child)];
                total.objects += part.objects;
                total.contentBytes += part.contentBytes;
                total.height = std::max(total.height, 1 + part.height);
                if (total.objects > maxPropertyListObjects) {
                    return fail("it unfolds into more than " +
                                std::to_string(maxPropertyListObjects) + " objects");
                }
                if (total.contentBytes > maxPropertyListContentBytes) {
                    return fail("it unfolds into more than " +
                                std::to_string(maxPropertyListContentBytes / (1024 * 1024)) +
                                " MB");
                }
            }
        }
        marks_[i] = Mark::done;
        totals_[i] = total;
        return true;
    }

    std::string_view bytes_;
    std::size_t offsetSize_ = 0;
    std::size_t referenceSize_ = 0;
    std::uint64_t objectCount_ = 0;
    std::uint64_t topObject_ = 0;
    std::size_t objectsEnd_ = 0;
    std::vector<Mark> marks_;
    std::vector<Totals> totals_;
    std::vector<KeyCheck> keyChecks_;
    std::string problem_;
};

// ---- Reading ----------------------------------------------------------------------------------

std::string nodeAsXml(plist_t node) {
    char* xml = nullptr;
    std::uint32_t length = 0;
    plist_to_xml(node, &xml, &length);
    std::string text = xml != nullptr ? std::string(xml, length) : std::string();
    plist_to_xml_free(xml);
    return text;
}

// Read as a C string: the length libplist records for a string can run past a NUL and past
// its own copy of the text.
std::string stringOf(plist_t node) {
    std::uint64_t length = 0;
    const char* text = plist_get_string_ptr(node, &length);
    return text != nullptr ? std::string(text) : std::string();
}

// libplist keeps every integer as 64 unsigned bits and marks those above the signed range
// only internally; its writer tells the two apart by the sign it prints.
std::optional<std::int64_t> integerOf(plist_t node) {
    std::uint64_t bits = 0;
    plist_get_uint_val(node, &bits);
    const auto value = static_cast<std::int64_t>(bits);
    if (value < 0 && nodeAsXml(node).find("<integer>-") == std::string::npos) {
        return std::nullopt;
    }
    return value;
}

OwnedPropertyList parseXml(std::string_view bytes, std::string* error) {
    const auto fail = [error](std::string reason) {
        if (error != nullptr) {
            *error = std::move(reason);
        }
        return OwnedPropertyList();
    };
    // libplist 2.2 keeps a string's length past a NUL but copies it only up to one, then
    // writes the full length from the shorter copy. XML never holds a NUL character anyway.
    if (bytes.find('\0') != std::string_view::npos) {
        return fail("it contains a NUL byte, which no XML property list holds");
    }
    if (nestsTooDeeply(bytes)) {
        return fail("it nests arrays or dictionaries more than " +
                    std::to_string(maxPropertyListNesting) + " deep");
    }
    // libplist reads some texts with C string functions: give it a terminated copy.
    const std::string text(bytes);
    plist_t parsed = nullptr;
    plist_from_xml(text.c_str(), static_cast<std::uint32_t>(text.size()), &parsed);
    if (parsed == nullptr) {
        return fail("it is not an XML property list");
    }
    return OwnedPropertyList(parsed);
}

OwnedPropertyList parseBinary(std::string_view bytes, std::string* error) {
    if (auto problem = BinaryScan(bytes).problem()) {
        if (error != nullptr) {
            *error = std::move(*problem);
        }
        return {};
    }
    plist_t parsed = nullptr;
    plist_from_bin(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &parsed);
    if (parsed == nullptr && error != nullptr) {
        *error = "it is not a valid binary property list";
    }
    return OwnedPropertyList(parsed);
}

} // namespace

void PropertyListNodeFree::operator()(PropertyListNode node) const {
    plist_free(node);
}

OwnedPropertyList parsePropertyListDictionary(std::string_view bytes, PropertyListFormats formats,
                                              std::string* error) {
    const auto fail = [error](std::string reason) {
        if (error != nullptr) {
            *error = std::move(reason);
        }
        return OwnedPropertyList();
    };
    if (bytes.size() > maxPropertyListSize) {
        return fail("it is larger than " + std::to_string(maxPropertyListSize / (1024 * 1024)) +
                    " MB");
    }
    const bool binary = bytes.starts_with(binaryMagic);
    if (binary && formats == PropertyListFormats::xmlOnly) {
        return fail("it is a binary property list; only XML property lists are read");
    }
    auto root = binary ? parseBinary(bytes, error) : parseXml(bytes, error);
    if (!root) {
        return root;
    }
    if (plist_get_node_type(root.get()) != PLIST_DICT) {
        return fail("its top level is not a dictionary");
    }
    return root;
}

std::optional<DefaultsValue> supportedPropertyListValue(PropertyListNode node) {
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        std::uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return DefaultsValue(value != 0);
    }
    case PLIST_UINT:
        if (auto value = integerOf(node)) {
            return DefaultsValue(*value);
        }
        return std::nullopt;
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return DefaultsValue(value);
    }
    case PLIST_STRING:
        return DefaultsValue(stringOf(node));
    case PLIST_DATA: {
        std::uint64_t length = 0;
        const char* bytes = plist_get_data_ptr(node, &length);
        Bytes value;
        if (bytes != nullptr) {
            value.assign(reinterpret_cast<const std::uint8_t*>(bytes),
                         reinterpret_cast<const std::uint8_t*>(bytes) + length);
        }
        return DefaultsValue(std::move(value));
    }
    case PLIST_ARRAY: {
        std::vector<std::string> strings;
        const auto count = plist_array_get_size(node);
        strings.reserve(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            const plist_t item = plist_array_get_item(node, i);
            if (item == nullptr || plist_get_node_type(item) != PLIST_STRING) {
                return std::nullopt;
            }
            strings.push_back(stringOf(item));
        }
        return DefaultsValue(std::move(strings));
    }
    default:
        return std::nullopt;
    }
}

std::string propertyListNodeAsXml(PropertyListNode node) {
    return nodeAsXml(node);
}

std::optional<PropertyListDictionary> readPropertyListDictionary(std::string_view bytes,
                                                                 PropertyListFormats formats,
                                                                 std::string* error) {
    const auto root = parsePropertyListDictionary(bytes, formats, error);
    if (!root) {
        return std::nullopt;
    }
    // Values of every key in the order of first appearance, a later value replacing an earlier
    // one; nothing for values of other types.
    std::vector<std::pair<std::string, std::optional<DefaultsValue>>> found;
    std::unordered_map<std::string, std::size_t> positions;
    plist_dict_iter rawIterator = nullptr;
    plist_dict_new_iter(root.get(), &rawIterator);
    const std::unique_ptr<void, FreeDeleter> iterator(rawIterator);
    while (iterator) {
        char* rawKey = nullptr;
        plist_t node = nullptr;
        plist_dict_next_item(root.get(), iterator.get(), &rawKey, &node);
        const MallocString key(rawKey);
        if (node == nullptr) {
            break;
        }
        std::string name = key ? std::string(key.get()) : std::string();
        auto value = supportedPropertyListValue(node);
        if (const auto it = positions.find(name); it != positions.end()) {
            found[it->second].second = std::move(value);
        } else {
            positions.emplace(name, found.size());
            found.emplace_back(std::move(name), std::move(value));
        }
    }
    PropertyListDictionary dictionary;
    for (auto& [name, value] : found) {
        if (value) {
            dictionary.entries.push_back({std::move(name), std::move(*value)});
        } else {
            dictionary.skippedKeys.push_back(std::move(name));
        }
    }
    return dictionary;
}

} // namespace tessera
