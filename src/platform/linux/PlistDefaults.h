#pragma once

#include "core/model/Files.h"
#include "core/platform/Defaults.h"

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tessera {

// A value read from a preferences file whose type preferences never use (a date, a dictionary,
// an array holding anything but strings, an integer beyond the signed 64-bit range): libplist's
// own node, held untouched so that rewriting the file puts it back.
// Immutable once read; copies share it.
class PlistNode;
using ForeignEntries = std::map<std::string, std::shared_ptr<const PlistNode>, std::less<>>;

// What a preferences file holds: the values preferences use, and everything else kept aside.
// A key is in at most one of the two.
struct PreferencesDocument {
    DefaultsDomain values;
    ForeignEntries foreign;
};

// Preferences kept in an XML property list ($XDG_CONFIG_HOME/Tessera/preferences.plist), every
// type kept exactly: Boolean, integer, real, string, data, array of strings. Read when made;
// every change rewrites the file atomically, first reading it again when another process
// (tesseractl, a second instance) changed it meanwhile, so that neither loses the other's
// changes. Entries of other types are not readable through object() but survive every rewrite.
// A change that could not be written stays in effect and is written with the next one, also when
// the file was read again in between.
class PlistDefaults final : public Defaults {
public:
    // A file that exists but can't be read is reported on `diagnostics` (standard error unless
    // given; nothing when null), naming the file and the copy of it that was kept, and the
    // domain starts empty.
    explicit PlistDefaults(std::filesystem::path file);
    // `writeFault` makes writes fail, for tests.
    PlistDefaults(std::filesystem::path file, std::ostream* diagnostics,
                  WriteFault writeFault = {});

    std::optional<DefaultsValue> object(std::string_view key) const override;
    DefaultsDomain persistentDomain() const override { return document_.values; }
    // A string, array element or key holding a NUL can't be written to a property list: such
    // a change is refused (false, nothing changed).
    bool set(std::string_view key, DefaultsValue value) override;
    bool remove(std::string_view key) override;
    void registerDefaults(const DefaultsDomain& defaults) override;
    std::string lastError() const override { return lastError_; }

    const std::filesystem::path& file() const { return file_; }
    // Set when the file existed but could not be read: where its bytes were kept and why.
    // The domain then starts empty.
    const std::optional<std::filesystem::path>& keptCopy() const { return keptCopy_; }
    const std::string& loadError() const { return loadError_; }
    // Keys the file holds with values of a type preferences don't use, in key order.
    std::vector<std::string> foreignKeys() const;

private:
    // What identifies one version of the file; all zero (size -1) when there is none.
    struct Stamp {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::int64_t size = -1;
        std::int64_t modifiedNanoseconds = 0;

        friend bool operator==(const Stamp&, const Stamp&) = default;
    };
    static Stamp stampOf(const std::filesystem::path& file);

    void load(std::ostream* diagnostics);
    void reloadIfChanged();
    bool write();
    void change(std::string_view key, std::optional<DefaultsValue> value);

    std::filesystem::path file_;
    std::ostream* diagnostics_ = nullptr;
    Stamp stamp_;
    PreferencesDocument document_;
    DefaultsDomain registered_;
    std::string lastError_;
    std::string loadError_;
    std::optional<std::filesystem::path> keptCopy_;
    WriteFault writeFault_;
    // The changes since the last successful write, a removal as nothing: what reading the file
    // again must not undo.
    std::map<std::string, std::optional<DefaultsValue>, std::less<>> unsaved_;
    // The file could not be read and no copy of it could be kept: replacing it would lose the
    // user's bytes, so every write is refused.
    bool mustNotOverwrite_ = false;
};

// The property-list reader and writer on their own, for the file and for the fuzz target.
// decode fails (nothing, with the reason) on anything that is not an XML property list whose
// top level is a dictionary; values of unsupported types inside an otherwise good file are
// skipped by decodePreferences and kept aside by decodePreferencesDocument. Binary property
// lists are refused: their objects may be shared, so a small file can unfold into an enormous
// or stack-exhausting tree.
std::optional<DefaultsDomain> decodePreferences(std::string_view bytes, std::string* error);
std::string encodePreferences(const DefaultsDomain& domain);
std::optional<PreferencesDocument> decodePreferencesDocument(std::string_view bytes,
                                                             std::string* error);
// Strings are written up to their first NUL, which a property list can't hold.
std::string encodePreferencesDocument(const PreferencesDocument& document);

} // namespace tessera
