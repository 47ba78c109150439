#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tessera {

// Writes the bytes to a temporary file in the target's folder, flushes it to disk and renames
// it over the target, so a reader sees either the old file or the new one, never a torn one.
// A replaced file keeps its permissions; a new one gets 0666 less the umask. Returns an error
// text, empty on success. The folder must exist.
std::string writeFileAtomically(const std::filesystem::path& target, std::string_view bytes);

// Creates the folder and every missing parent; an existing folder is no error.
std::string createFolders(const std::filesystem::path& folder);

// The whole file, or nothing with the reason in *error.
std::optional<std::string> readWholeFile(const std::filesystem::path& file, std::string* error);

// Copies a file that is about to be replaced because it could not be read to
// "<name>.unreadable-<UTC time>" beside it (a counter is added if that exists). Returns the
// copy's path, or nothing with the reason in *error.
std::optional<std::filesystem::path> keepUnreadableCopy(const std::filesystem::path& file,
                                                        std::chrono::system_clock::time_point now,
                                                        std::string* error);

// "2026-12-05T05-52-09Z": a UTC time usable in a file name on every platform.
std::string fileNameTimestamp(std::chrono::system_clock::time_point time);

} // namespace tessera
