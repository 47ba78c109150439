#include "PlistDefaults.h"

#include "core/app/PropertyList.h"
#include "core/model/Files.h"

#include <plist/plist.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <system_error>
#include <type_traits>
#include <utility>

namespace tessera {

namespace fs = std::filesystem;

class PlistNode {
public:
    explicit PlistNode(plist_t node) : node_(node) {}
    ~PlistNode() { plist_free(node_); }
    PlistNode(const PlistNode&) = delete;
    PlistNode& operator=(const PlistNode&) = delete;

    plist_t node() const { return node_; }

private:
    plist_t node_;
};

namespace {

using OwnedPlist = std::unique_ptr<void, decltype(&plist_free)>;

OwnedPlist own(plist_t node) {
    return OwnedPlist(node, &plist_free);
}

struct FreeDeleter {
    void operator()(void* pointer) const { std::free(pointer); }
};
using MallocString = std::unique_ptr<char, FreeDeleter>;

// ---- Writing ----------------------------------------------------------------------------------

plist_t nodeFor(const DefaultsValue& value) {
    return std::visit(
        [](const auto& v) -> plist_t {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, bool>) {
                return plist_new_bool(v ? 1 : 0);
            } else if constexpr (std::is_same_v<T, std::int64_t>) {
                return plist_new_uint(static_cast<std::uint64_t>(v));
            } else if constexpr (std::is_same_v<T, double>) {
                return plist_new_real(v);
            } else if constexpr (std::is_same_v<T, std::string>) {
                return plist_new_string(v.c_str());
            } else if constexpr (std::is_same_v<T, Bytes>) {
                static const char none = 0;
                return plist_new_data(v.empty() ? &none : reinterpret_cast<const char*>(v.data()),
                                      v.size());
            } else {
                plist_t array = plist_new_array();
                for (const auto& text : v) {
                    plist_array_append_item(array, plist_new_string(text.c_str()));
                }
                return array;
            }
        },
        value);
}

bool holdsNul(std::string_view text) {
    return text.find('\0') != std::string_view::npos;
}

// Why the value can't be written to a property list, or nothing.
std::optional<std::string> unwritable(std::string_view key, const DefaultsValue& value) {
    if (holdsNul(key)) {
        return "a preference key can't contain a NUL character";
    }
    if (const auto* text = std::get_if<std::string>(&value); text && holdsNul(*text)) {
        return "the value of \"" + std::string(key) + "\" contains a NUL character";
    }
    if (const auto* list = std::get_if<std::vector<std::string>>(&value)) {
        for (const auto& text : *list) {
            if (holdsNul(text)) {
                return "the value of \"" + std::string(key) + "\" contains a NUL character";
            }
        }
    }
    return std::nullopt;
}

// Copies aside made by earlier runs that hold exactly these bytes, so a damaged file that
// nobody has replaced yet is not copied again at every start.
std::optional<fs::path> existingCopyOf(const fs::path& file, std::string_view bytes) {
    const auto prefix = file.filename().string() + ".unreadable-";
    std::error_code ec;
    for (fs::directory_iterator it(file.parent_path(), ec), end; !ec && it != end;
         it.increment(ec)) {
        const auto name = it->path().filename().string();
        if (!name.starts_with(prefix) || !it->is_regular_file(ec) ||
            it->file_size(ec) != bytes.size()) {
            continue;
        }
        if (readWholeFile(it->path(), nullptr) == bytes) {
            return it->path();
        }
    }
    return std::nullopt;
}

} // namespace

PlistDefaults::Stamp PlistDefaults::stampOf(const fs::path& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) {
        return {};
    }
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
            static_cast<std::int64_t>(info.st_size),
            static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

// ---- Codec ------------------------------------------------------------------------------------

std::optional<PreferencesDocument> decodePreferencesDocument(std::string_view bytes,
                                                             std::string* error) {
    const auto root = parsePropertyListDictionary(bytes, PropertyListFormats::xmlOnly, error);
    if (!root) {
        return std::nullopt;
    }

    PreferencesDocument document;
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
        // A key given twice counts once, the later value winning, as libplist's own lookups do.
        document.values.erase(name);
        document.foreign.erase(name);
        if (auto value = supportedPropertyListValue(node)) {
            document.values.insert_or_assign(std::move(name), std::move(*value));
        } else {
            document.foreign.insert_or_assign(std::move(name),
                                              std::make_shared<const PlistNode>(plist_copy(node)));
        }
    }
    return document;
}

std::string encodePreferencesDocument(const PreferencesDocument& document) {
    const auto root = own(plist_new_dict());
    // Both maps are sorted; merging them keeps the file in key order.
    auto value = document.values.begin();
    auto foreign = document.foreign.begin();
    while (value != document.values.end() || foreign != document.foreign.end()) {
        const bool takeValue = foreign == document.foreign.end() ||
                               (value != document.values.end() && value->first <= foreign->first);
        if (takeValue) {
            plist_dict_set_item(root.get(), value->first.c_str(), nodeFor(value->second));
            ++value;
        } else {
            if (!document.values.contains(foreign->first)) {
                plist_dict_set_item(root.get(), foreign->first.c_str(),
                                    plist_copy(foreign->second->node()));
            }
            ++foreign;
        }
    }
    return propertyListNodeAsXml(root.get());
}

std::optional<DefaultsDomain> decodePreferences(std::string_view bytes, std::string* error) {
    auto document = decodePreferencesDocument(bytes, error);
    if (!document) {
        return std::nullopt;
    }
    return std::move(document->values);
}

std::string encodePreferences(const DefaultsDomain& domain) {
    return encodePreferencesDocument(PreferencesDocument{domain, {}});
}

// ---- PlistDefaults ----------------------------------------------------------------------------

PlistDefaults::PlistDefaults(fs::path file) : PlistDefaults(std::move(file), &std::cerr) {}

PlistDefaults::PlistDefaults(fs::path file, std::ostream* diagnostics, WriteFault writeFault)
    : file_(std::move(file)), diagnostics_(diagnostics), writeFault_(std::move(writeFault)) {
    // A write that was cut short (a crash, a power cut) leaves its temporary file behind.
    removeLeftoverTemporaryFiles(file_);
    load(diagnostics_);
}

void PlistDefaults::load(std::ostream* diagnostics) {
    loadError_.clear();
    keptCopy_.reset();
    mustNotOverwrite_ = false;
    // Taken before reading, so a change made while reading shows up as one at the next write.
    stamp_ = stampOf(file_);
    std::error_code ec;
    const auto status = fs::status(file_, ec);
    if (status.type() == fs::file_type::not_found || ec == std::errc::no_such_file_or_directory ||
        ec == std::errc::not_a_directory) {
        document_ = {}; // a first start, or the user deleted the file to start afresh
        return;
    }

    std::string reason;
    std::optional<std::string> bytes;
    if (status.type() == fs::file_type::directory) {
        // Nothing to lose and nothing a write could replace: every write names the folder.
        loadError_ = "it is a folder";
        if (diagnostics != nullptr) {
            *diagnostics << "tessera: preferences file " << file_.string()
                         << " is a folder; starting with defaults\n";
        }
        return;
    }
    if (ec) {
        reason = "Can't reach " + file_.string() + ": " + ec.message();
    } else if (status.type() != fs::file_type::regular) {
        reason = "it is not a regular file";
    } else if (const auto size = fs::file_size(file_, ec); !ec && size > maxPropertyListSize) {
        reason = "it is larger than " + std::to_string(maxPropertyListSize / (1024 * 1024)) + " MB";
    } else {
        bytes = readWholeFile(file_, &reason);
    }
    if (bytes) {
        if (auto document = decodePreferencesDocument(*bytes, &reason)) {
            document_ = std::move(*document);
            return;
        }
    }

    loadError_ = reason;
    std::string copyError;
    keptCopy_ = bytes ? existingCopyOf(file_, *bytes) : std::nullopt;
    if (!keptCopy_) {
        keptCopy_ = keepUnreadableCopy(file_, std::chrono::system_clock::now(), &copyError);
    }
    mustNotOverwrite_ = !keptCopy_;
    if (diagnostics == nullptr) {
        return;
    }
    *diagnostics << "tessera: preferences file " << file_.string() << " could not be read ("
                 << reason << ")";
    if (keptCopy_) {
        *diagnostics << "; kept a copy at " << keptCopy_->string() << "; starting with defaults\n";
    } else {
        *diagnostics << " and no copy of it could be kept (" << copyError
                     << "); starting with defaults and leaving the file untouched\n";
    }
}

std::optional<DefaultsValue> PlistDefaults::object(std::string_view key) const {
    if (const auto it = document_.values.find(key); it != document_.values.end()) {
        return it->second;
    }
    if (const auto it = registered_.find(key); it != registered_.end()) {
        return it->second;
    }
    return std::nullopt;
}

bool PlistDefaults::set(std::string_view key, DefaultsValue value) {
    if (const auto problem = unwritable(key, value)) {
        lastError_ = "Can't save preferences to " + file_.string() + ": " + *problem;
        return false;
    }
    reloadIfChanged();
    change(key, std::move(value));
    return write();
}

void PlistDefaults::change(std::string_view key, std::optional<DefaultsValue> value) {
    document_.foreign.erase(std::string(key));
    if (value) {
        document_.values.insert_or_assign(std::string(key), *value);
    } else if (const auto it = document_.values.find(key); it != document_.values.end()) {
        document_.values.erase(it);
    }
    unsaved_.insert_or_assign(std::string(key), std::move(value));
}

bool PlistDefaults::remove(std::string_view key) {
    reloadIfChanged();
    const auto value = document_.values.find(key);
    const auto foreign = document_.foreign.find(key);
    if (value == document_.values.end() && foreign == document_.foreign.end()) {
        return unsaved_.empty() || write();
    }
    change(key, std::nullopt);
    return write();
}

void PlistDefaults::reloadIfChanged() {
    if (stampOf(file_) != stamp_) {
        load(diagnostics_);
        for (const auto& [key, value] : std::exchange(unsaved_, {})) {
            change(key, value);
        }
    }
}

void PlistDefaults::registerDefaults(const DefaultsDomain& defaults) {
    for (const auto& [key, value] : defaults) {
        registered_.insert_or_assign(key, value);
    }
}

std::vector<std::string> PlistDefaults::foreignKeys() const {
    std::vector<std::string> keys;
    keys.reserve(document_.foreign.size());
    for (const auto& entry : document_.foreign) {
        keys.push_back(entry.first);
    }
    return keys;
}

bool PlistDefaults::write() {
    if (mustNotOverwrite_) {
        lastError_ = "Can't save preferences to " + file_.string() +
                     ": the file could not be read (" + loadError_ +
                     ") and no copy of it could be kept, so it is left untouched";
        return false;
    }
    if (auto error = createFolders(file_.parent_path()); !error.empty()) {
        lastError_ = "Can't save preferences to " + file_.string() + ": " + error;
        return false;
    }
    if (auto error = writeFileAtomically(file_, encodePreferencesDocument(document_), writeFault_);
        !error.empty()) {
        lastError_ = std::move(error);
        return false;
    }
    stamp_ = stampOf(file_);
    unsaved_.clear();
    lastError_.clear();
    return true;
}

} // namespace tessera
