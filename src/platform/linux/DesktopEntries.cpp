#include "DesktopEntries.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <set>
#include <system_error>
#include <utility>

namespace tessera {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view mainGroup = "[Desktop Entry]";

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// Desktop files are UTF-8 by definition; anything else is some other kind of file that merely
// carries the name. Overlong forms, surrogates and code points past U+10FFFF are refused too.
bool isUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        std::size_t length = 0;
        std::uint32_t codePoint = 0;
        std::uint32_t smallest = 0;
        if ((lead & 0xE0) == 0xC0) {
            length = 2;
            codePoint = lead & 0x1F;
            smallest = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            codePoint = lead & 0x0F;
            smallest = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            codePoint = lead & 0x07;
            smallest = 0x10000;
        } else {
            return false;
        }
        if (text.size() - i < length) {
            return false;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        if (codePoint < smallest || codePoint > 0x10FFFF ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

// The escapes of string values: \s, \n, \t, \r and \\. Other backslashes stay as written, as
// they may belong to the quoting of an Exec line.
std::string unescaped(std::string_view value) {
    std::string text;
    text.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            text.push_back(value[i]);
            continue;
        }
        switch (value[i + 1]) {
        case 's':
            text.push_back(' ');
            break;
        case 'n':
            text.push_back('\n');
            break;
        case 't':
            text.push_back('\t');
            break;
        case 'r':
            text.push_back('\r');
            break;
        case '\\':
            text.push_back('\\');
            break;
        default:
            text.push_back('\\');
            text.push_back(value[i + 1]);
            break;
        }
        ++i;
    }
    return text;
}

bool boolean(std::string_view value) {
    return value == "true" || value == "1";
}

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

void setError(std::string* error, std::string text) {
    if (error) {
        *error = std::move(text);
    }
}

} // namespace

std::optional<DesktopEntry> parseDesktopEntry(std::string_view text, std::string* error) {
    if (text.size() > maximumDesktopEntrySize) {
        setError(error, "The file is too big for a desktop entry");
        return std::nullopt;
    }
    if (text.find('\0') != std::string_view::npos || !isUtf8(text)) {
        setError(error, "The file is not text in UTF-8");
        return std::nullopt;
    }
    DesktopEntry entry;
    bool foundMainGroup = false;
    bool inMainGroup = false;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        auto line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const auto content = trimmed(line);
        if (content.empty() || content.front() == '#') {
            continue;
        }
        if (content.front() == '[') {
            inMainGroup = content == mainGroup;
            foundMainGroup = foundMainGroup || inMainGroup;
            continue;
        }
        const auto equals = content.find('=');
        if (!inMainGroup || equals == std::string_view::npos) {
            continue;
        }
        const auto key = trimmed(content.substr(0, equals));
        const auto value = trimmed(content.substr(equals + 1));
        if (key == "Type") {
            entry.type = unescaped(value);
        } else if (key == "Name") {
            entry.name = unescaped(value);
        } else if (key == "Exec") {
            entry.exec = unescaped(value);
        } else if (key == "Icon") {
            entry.icon = unescaped(value);
        } else if (key == "StartupWMClass") {
            entry.startupWMClass = unescaped(value);
        } else if (key == "NoDisplay") {
            entry.noDisplay = boolean(value);
        } else if (key == "Hidden") {
            entry.hidden = boolean(value);
        }
    }
    if (!foundMainGroup) {
        setError(error, "The file has no [Desktop Entry] group");
        return std::nullopt;
    }
    return entry;
}

std::optional<DesktopEntry> readDesktopEntryFile(const fs::path& file, std::string id,
                                                 std::string* error) {
    // Only regular files: a FIFO or a device that happens to be named like an entry would
    // block or never end.
    std::error_code ec;
    if (!fs::is_regular_file(file, ec)) {
        setError(error, file.string() + " is not a regular file");
        return std::nullopt;
    }
    const auto size = fs::file_size(file, ec);
    if (ec || size > maximumDesktopEntrySize) {
        setError(error, file.string() + " is too big for a desktop entry");
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        setError(error, "Can't open " + file.string());
        return std::nullopt;
    }
    // Read one byte past the limit so a file that grew since its size was taken is still
    // refused rather than read without end.
    std::string bytes(maximumDesktopEntrySize + 1, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) {
        setError(error, "Can't read " + file.string());
        return std::nullopt;
    }
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    std::string reason;
    auto entry = parseDesktopEntry(bytes, &reason);
    if (!entry) {
        setError(error, file.string() + ": " + reason);
        return std::nullopt;
    }
    entry->id = std::move(id);
    entry->file = file;
    return entry;
}

std::string desktopFileId(const fs::path& relativePath) {
    if (relativePath.extension() != ".desktop" || relativePath.stem().empty() ||
        relativePath.is_absolute()) {
        return {};
    }
    std::string id;
    for (const auto& part : relativePath.parent_path()) {
        if (part.empty() || part == "." || part == "..") {
            return {};
        }
        id += part.string() + "-";
    }
    return id + relativePath.stem().string();
}

std::vector<DesktopEntry> readDesktopEntries(const std::vector<fs::path>& folders) {
    std::vector<DesktopEntry> entries;
    std::set<std::string> taken;
    for (const auto& folder : folders) {
        std::vector<std::pair<std::string, fs::path>> files;
        std::error_code ec;
        fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied,
                                            ec);
        for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            std::error_code fileError;
            if (!it->is_regular_file(fileError)) {
                continue;
            }
            if (auto id = desktopFileId(it->path().lexically_relative(folder)); !id.empty()) {
                files.emplace_back(std::move(id), it->path());
            }
        }
        std::sort(files.begin(), files.end());
        for (auto& [id, file] : files) {
            if (taken.contains(id)) {
                continue;
            }
            auto entry = readDesktopEntryFile(file, id, nullptr);
            if (!entry) {
                continue;
            }
            taken.insert(id);
            if (!entry->hidden) {
                entries.push_back(std::move(*entry));
            }
        }
    }
    return entries;
}

std::optional<DesktopEntry> findDesktopEntry(const std::vector<DesktopEntry>& entries,
                                             std::string_view instance,
                                             std::string_view windowClass) {
    const auto find = [&entries](std::string_view wanted, auto field) -> const DesktopEntry* {
        if (wanted.empty()) {
            return nullptr;
        }
        for (const auto& entry : entries) {
            if (entry.type == "Application" && !entry.hidden &&
                sameIgnoringCase(entry.*field, wanted)) {
                return &entry;
            }
        }
        return nullptr;
    };
    for (const auto field : {&DesktopEntry::startupWMClass, &DesktopEntry::id}) {
        for (const auto wanted : {instance, windowClass}) {
            if (const auto* entry = find(wanted, field)) {
                return *entry;
            }
        }
    }
    return std::nullopt;
}

std::vector<fs::path> applicationFolders(const EnvironmentLookup& getenv) {
    std::vector<fs::path> folders;
    const auto add = [&folders](const fs::path& dataFolder) {
        auto folder = (dataFolder / "applications").lexically_normal();
        if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
            folders.push_back(std::move(folder));
        }
    };
    const auto user = xdgUserFolders(getenv);
    add(user.applicationSupport.value_or(user.home / ".local" / "share"));
    std::string_view dataDirs;
    if (const char* value = getenv("XDG_DATA_DIRS"); value != nullptr) {
        dataDirs = value;
    }
    if (dataDirs.empty()) {
        dataDirs = "/usr/local/share:/usr/share";
    }
    while (!dataDirs.empty()) {
        const auto colon = dataDirs.find(':');
        const fs::path folder(dataDirs.substr(0, colon));
        dataDirs =
            colon == std::string_view::npos ? std::string_view() : dataDirs.substr(colon + 1);
        if (folder.is_absolute()) {
            add(folder);
        }
    }
    return folders;
}

std::vector<fs::path> applicationFolders() {
    return applicationFolders([](const char* name) { return std::getenv(name); });
}

DesktopEntryCatalog::DesktopEntryCatalog(std::vector<fs::path> folders,
                                         Clock::duration rescanInterval)
    : folders_(std::move(folders)), rescanInterval_(rescanInterval) {}

void DesktopEntryCatalog::read(Clock::time_point now) {
    entries_ = readDesktopEntries(folders_);
    lastReading_ = now;
    ++readings_;
}

std::optional<DesktopEntry> DesktopEntryCatalog::entryForWindowClass(std::string_view instance,
                                                                     std::string_view windowClass,
                                                                     Clock::time_point now) {
    if (!lastReading_) {
        read(now);
    } else if (auto entry = findDesktopEntry(entries_, instance, windowClass)) {
        return entry;
    } else if (now - *lastReading_ < rescanInterval_) {
        return std::nullopt;
    } else {
        read(now);
    }
    return findDesktopEntry(entries_, instance, windowClass);
}

} // namespace tessera
