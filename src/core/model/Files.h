#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessera {

// One step of an atomic write, for a WriteFault to fail.
enum class WriteStep { createTemporary, writeBytes, flush, replace };

// Makes a step of an atomic write fail as the system would: the errno that step fails with, or 0
// to let it run. Empty in the program; tests hand one in for what they can't bring about for
// real, such as a full disk or, for the superuser, a read-only folder.
using WriteFault = std::function<int(WriteStep step)>;

// Writes the bytes to a temporary file in the target's folder, flushes it to disk and renames
// it over the target, so a reader sees either the old file or the new one, never a torn one.
// Returns an error text naming the target, empty on success; a full disk, a read-only folder and
// a folder where the file belongs are named as such, anything else by the system's text. A
// failed write leaves the target as it was and no temporary file. The folder must exist. A
// replaced file keeps its permissions; a new one gets 0666 less the umask.
// The temporary file is ".<name>.XXXXXX" and holds an exclusive flock(2) until it has been renamed
// or removed, which tells a concurrent clean-up that it is in use. Leftovers of interrupted writes
// are the owner's to remove when it starts (removeLeftoverTemporaryFiles): looking for them on
// every write would list the folder each time a preference changes.
std::string writeFileAtomically(const std::filesystem::path& target, std::string_view bytes,
                                const WriteFault& fault = {});

// Whether `name` is a temporary file of an atomic write, and of which target: the target's name,
// or nothing.
std::optional<std::string_view> targetOfTemporaryFile(std::string_view name);

// Removes the temporary files that interrupted atomic writes left in `folder` for targets that
// `isOwnTarget` accepts. A file is left alone when any process still holds its lock (a write in
// progress, in this process or another) or when it is not a plain file; nothing else in the folder
// is touched. Returns the files removed.
std::vector<std::filesystem::path>
removeLeftoverTemporaryFiles(const std::filesystem::path& folder,
                             const std::function<bool(std::string_view target)>& isOwnTarget);

// The same for the one target file, as a program does when it starts and opens the file.
std::vector<std::filesystem::path>
removeLeftoverTemporaryFiles(const std::filesystem::path& target);

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
