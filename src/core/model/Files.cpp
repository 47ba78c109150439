#include "Files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <random>
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

constexpr std::size_t randomPartLength = 6; // as mkstemp's "XXXXXX"
constexpr int temporaryAttempts = 100;

fs::path folderOf(const fs::path& target) {
    return target.has_parent_path() ? target.parent_path() : fs::path(".");
}

std::string randomPart(std::random_device& random) {
    constexpr std::string_view alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::string part(randomPartLength, ' ');
    for (auto& c : part) {
        c = alphabet[pick(random)];
    }
    return part;
}

// The errno the fault gives the step, 0 when the step is to run.
int injected(const WriteFault& fault, WriteStep step) {
    return fault ? fault(step) : 0;
}

// What the user can do something about, named as such: the rest in the system's words.
std::string saveFailure(const fs::path& target, int error) {
    const auto prefix = "Can't save " + target.string() + ": ";
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return prefix + "the disk is full";
    case EROFS:
    case EACCES:
        return prefix + "the folder " + folderOf(target).string() + " is read-only";
    case EISDIR:
        return prefix + "it is a folder";
    default:
        return prefix + std::error_code(error, std::generic_category()).message();
    }
}

// A fresh temporary file for `target`, locked for as long as it stays open, created 0666 so that
// the kernel applies the umask (asking for the umask means changing it, which races with every
// other thread creating a file). A clean-up in another process may take the file between its
// creation and the lock: it then holds the lock itself, or has already removed the name, and
// another file is made. On failure, returns -1 with the reason in `error`.
int createLockedTemporary(const fs::path& target, const WriteFault& fault, fs::path& temporary,
                          int& error) {
    const auto prefix = "." + target.filename().string() + ".";
    std::random_device random;
    for (int attempt = 0; attempt < temporaryAttempts; ++attempt) {
        const auto candidate = folderOf(target) / (prefix + randomPart(random));
        error = injected(fault, WriteStep::createTemporary);
        const int fd = error != 0
                           ? -1
                           : ::open(candidate.c_str(),
                                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0) {
            error = error != 0 ? error : errno;
            if (error == EEXIST) {
                continue;
            }
            return -1;
        }
        // A folder whose file system has no locks can't be cleaned up concurrently either: the
        // clean-up leaves any file it can't lock.
        const bool taken = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
        struct stat status {};
        if (!taken && ::fstat(fd, &status) == 0 && status.st_nlink > 0) {
            temporary = candidate;
            return fd;
        }
        ::close(fd);
    }
    error = EEXIST;
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

std::string writeFileAtomically(const fs::path& target, std::string_view bytes,
                                const WriteFault& fault) {
    fs::path temporary;
    int error = 0;
    const int fd = createLockedTemporary(target, fault, temporary, error);
    if (fd < 0) {
        return saveFailure(target, error);
    }
    // The name goes before the descriptor, so the file is never unlocked while it has a name.
    const auto fail = [&](int cause) {
        ::unlink(temporary.c_str());
        ::close(fd);
        return saveFailure(target, cause);
    };
    // A file being replaced keeps its mode, so one the user made private stays private.
    struct stat replaced {};
    if (::stat(target.c_str(), &replaced) == 0 && S_ISREG(replaced.st_mode)) {
        ::fchmod(fd, replaced.st_mode & 0777);
    }
    std::size_t written = 0;
    while (written < bytes.size()) {
        if (const int cause = injected(fault, WriteStep::writeBytes); cause != 0) {
            return fail(cause);
        }
        const auto n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return fail(errno);
        }
        written += static_cast<std::size_t>(n);
    }
    if (const int cause = injected(fault, WriteStep::flush); cause != 0) {
        return fail(cause);
    }
    if (::fsync(fd) != 0) {
        return fail(errno);
    }
    if (const int cause = injected(fault, WriteStep::replace); cause != 0) {
        return fail(cause);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        return fail(errno);
    }
    // The bytes reached the disk with fsync and the new file is in place: whatever close says,
    // the write happened, and reporting it as failed would hide the new file from its caller.
    ::close(fd);
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
