#pragma once

#include "core/platform/Defaults.h"

#include <filesystem>
#include <optional>
#include <string>

namespace tessera {

// Preferences kept in an XML property list ($XDG_CONFIG_HOME/Tessera/preferences.plist), every
// type kept exactly: Boolean, integer, real, string, data, array of strings. Read once when
// made; every change rewrites the file atomically.
class PlistDefaults final : public Defaults {
public:
    explicit PlistDefaults(std::filesystem::path file);

    std::optional<DefaultsValue> object(std::string_view key) const override;
    DefaultsDomain persistentDomain() const override { return domain_; }
    bool set(std::string_view key, DefaultsValue value) override;
    bool remove(std::string_view key) override;
    void registerDefaults(const DefaultsDomain& defaults) override;
    std::string lastError() const override { return lastError_; }

    const std::filesystem::path& file() const { return file_; }
    // Set when the file existed but could not be read: where its bytes were kept and why.
    // The domain then starts empty.
    const std::optional<std::filesystem::path>& keptCopy() const { return keptCopy_; }
    const std::string& loadError() const { return loadError_; }

private:
    bool write();

    std::filesystem::path file_;
    DefaultsDomain domain_;
    DefaultsDomain registered_;
    std::string lastError_;
    std::string loadError_;
    std::optional<std::filesystem::path> keptCopy_;
};

// The property-list reader and writer on their own, for the file and for the fuzz target.
// decode fails (nothing, with the reason) on anything that is not a dictionary of supported
// values; values of unsupported types inside an otherwise good file are skipped.
std::optional<DefaultsDomain> decodePreferences(std::string_view bytes, std::string* error);
std::string encodePreferences(const DefaultsDomain& domain);

} // namespace tessera
