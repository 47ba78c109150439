#include "Files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tessera {

namespace fs = std::filesystem;

namespace {

std::string errnoText(const std::string& what, const fs::path& path) {
    return what + " " + path.string() + ": " + std::strerror(errno);
}

constexpr std::size_t randomPartLength = 6; // mkstemp's "XXXXXX"
constexpr int temporaryAttempts = 8;

fs::path folderOf(const fs::path& target) {
    return target.has_parent_path() ? target.parent_path() : fs::path(".");
}

// A fresh temporary file for `target`, locked for as long as it stays open. A clean-up in another
// process may take the file between its creation and the lock: it then holds the lock itself, or
// has already removed the name, and another file is made.
int createLockedTemporary(const fs::path& target, fs::path& temporary, std::string& error) {
    const auto folder = folderOf(target);
    for (int attempt = 0; attempt < temporaryAttempts; ++attempt) {
        auto pattern =
            (folder / ("." + target.filename().string() + "." + std::string(randomPartLength, 'X')))
                .string();
        const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (fd < 0) {
            error = errnoText("Can't create a temporary file in", folder);
            return -1;
        }
        // A folder whose file system has no locks can't be cleaned up concurrently either: the
        // clean-up leaves any file it can't lock.
        const bool taken = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        struct stat status {};
        if (!taken && ::fstat(fd, &status) == 0 && status.st_nlink > 0) {
            temporary = pattern;
            return fd;
        }
        ::close(fd);
    }
    error = "Can't create a temporary file in " + folder.string() +
            ": each one was removed as it was made";
    return -1;
}

// Removes the file only if it is this user's plain file that nobody holds locked, and still the
// one that was examined.
bool removeIfUnused(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool removed = false;
    struct stat opened {};
    struct stat named {};
    if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_uid == ::geteuid() &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::lstat(path.c_str(), &named) == 0 &&
        named.st_dev == opened.st_dev && named.st_ino == opened.st_ino) {
        removed = ::unlink(path.c_str()) == 0;
    }
    ::close(fd);
    return removed;
}

} // namespace

std::string writeFileAtomically(const fs::path& target, std::string_view bytes) {
    fs::path temporary;
    std::string createError;
    const int fd = createLockedTemporary(target, temporary, createError);
    if (fd < 0) {
        return createError;
    }
    // The name goes before the descriptor, so the file is never unlocked while it has a name.
    const auto fail = [&](const std::string& what, const fs::path& path) {
        auto message = errnoText(what, path);
        ::unlink(temporary.c_str());
        ::close(fd);
        return message;
    };
    // mkstemp creates the file 0600. A file being replaced keeps its mode, so one the user made
    // private stays private; a new one is as readable as any file the user writes.
    struct stat replaced {};
    if (::stat(target.c_str(), &replaced) == 0 && S_ISREG(replaced.st_mode)) {
        ::fchmod(fd, replaced.st_mode & 0777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    std::size_t written = 0;
    while (written < bytes.size()) {
        const auto n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return fail("Can't write", temporary);
        }
        written += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) {
        return fail("Can't flush", temporary);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        return fail("Can't replace", target);
    }
    // The bytes reached the disk with fsync and the new file is in place: whatever close says,
    // the write happened, and reporting it as failed would hide the new file from its caller.
    ::close(fd);
    removeLeftoverTemporaryFiles(target);
    return {};
}

std::optional<std::string_view> targetOfTemporaryFile(std::string_view name) {
    const auto suffix = randomPartLength + 1;
    if (name.size() < suffix + 2 || name.front() != '.' || name[name.size() - suffix] != '.') {
        return std::nullopt;
    }
    for (const char c : name.substr(name.size() - randomPartLength)) {
        const bool alphanumeric =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!alphanumeric) {
            return std::nullopt;
        }
    }
    return name.substr(1, name.size() - suffix - 1);
}

std::vector<fs::path>
removeLeftoverTemporaryFiles(const fs::path& folder,
                             const std::function<bool(std::string_view target)>& isOwnTarget) {
    std::vector<fs::path> candidates;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const auto name = it->path().filename().string();
        if (const auto target = targetOfTemporaryFile(name); target && isOwnTarget(*target)) {
            candidates.push_back(it->path());
        }
    }
    std::vector<fs::path> removed;
    for (auto& candidate : candidates) {
        if (removeIfUnused(candidate)) {
            removed.push_back(std::move(candidate));
        }
    }
    return removed;
}

std::vector<fs::path> removeLeftoverTemporaryFiles(const fs::path& target) {
    const auto name = target.filename().string();
    return removeLeftoverTemporaryFiles(
        folderOf(target), [&](std::string_view candidate) { return candidate == name; });
}

std::string createFolders(const fs::path& folder) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        return "Can't create the folder " + folder.string() + ": " + ec.message();
    }
    if (!fs::is_directory(folder, ec)) {
        return "Can't create the folder " + folder.string() + ": a file of that name is in the way";
    }
    return {};
}

std::optional<std::string> readWholeFile(const fs::path& file, std::string* error) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        if (error) {
            *error = errnoText("Can't open", file);
        }
        return std::nullopt;
    }
    std::ostringstream out;
    out << in.rdbuf();
    if (in.bad()) {
        if (error) {
            *error = errnoText("Can't read", file);
        }
        return std::nullopt;
    }
    return std::move(out).str();
}

std::string fileNameTimestamp(std::chrono::system_clock::time_point time) {
    const std::time_t t = std::chrono::system_clock::to_time_t(time);
    std::tm tm{};
    ::gmtime_r(&t, &tm);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H-%M-%SZ", &tm);
    return buffer;
}

std::optional<fs::path> keepUnreadableCopy(const fs::path& file,
                                           std::chrono::system_clock::time_point now,
                                           std::string* error) {
    const auto base = file.string() + ".unreadable-" + fileNameTimestamp(now);
    fs::path copy = base;
    std::error_code ec;
    for (int n = 2; fs::exists(copy, ec) && n < 1000; ++n) {
        copy = base + "-" + std::to_string(n);
    }
    fs::copy_file(file, copy, fs::copy_options::none, ec);
    if (ec) {
        if (error) {
            *error = "Can't keep a copy of " + file.string() + ": " + ec.message();
        }
        return std::nullopt;
    }
    return copy;
}

} // namespace tessera
