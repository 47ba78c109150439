#include "Files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tessera {

namespace fs = std::filesystem;

namespace {

std::string errnoText(const std::string& what, const fs::path& path) {
    return what + " " + path.string() + ": " + std::strerror(errno);
}

} // namespace

std::string writeFileAtomically(const fs::path& target, std::string_view bytes) {
    const auto folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    auto pattern = (folder / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        return errnoText("Can't create a temporary file in", folder);
    }
    const fs::path temporary(pattern);
    const auto fail = [&](const std::string& what, const fs::path& path) {
        auto message = errnoText(what, path);
        ::close(fd);
        ::unlink(temporary.c_str());
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
    if (::close(fd) != 0) {
        auto message = errnoText("Can't close", temporary);
        ::unlink(temporary.c_str());
        return message;
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        auto message = errnoText("Can't replace", target);
        ::unlink(temporary.c_str());
        return message;
    }
    return {};
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
