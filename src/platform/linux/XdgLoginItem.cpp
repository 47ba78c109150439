#include "XdgLoginItem.h"

#include "core/model/Files.h"

#include <sstream>
#include <system_error>

namespace tessera {

namespace fs = std::filesystem;

namespace {

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// Whether the entry's main group says "Hidden=true"; other groups (actions) don't count.
bool isHidden(const std::string& text) {
    std::istringstream lines(text);
    bool inMainGroup = false;
    for (std::string line; std::getline(lines, line);) {
        const auto content = trimmed(line);
        if (content.empty() || content.front() == '#') {
            continue;
        }
        if (content.front() == '[') {
            inMainGroup = content == "[Desktop Entry]";
            continue;
        }
        const auto equals = content.find('=');
        if (!inMainGroup || equals == std::string_view::npos) {
            continue;
        }
        if (trimmed(content.substr(0, equals)) == "Hidden" &&
            trimmed(content.substr(equals + 1)) == "true") {
            return true;
        }
    }
    return false;
}

// One Exec argument: quoted, with the characters the quoting reserves escaped, "%" doubled
// (field codes), and then every backslash doubled once more, because the value as a whole is
// a string whose escapes are undone before the quoting is.
std::string execArgument(const std::string& argument) {
    std::string quoted = "\"";
    for (const char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted.push_back('\\');
        }
        quoted.push_back(c);
        if (c == '%') {
            quoted.push_back('%');
        }
    }
    quoted.push_back('"');
    std::string value;
    for (const char c : quoted) {
        if (c == '\\') {
            value.push_back('\\');
        }
        value.push_back(c);
    }
    return value;
}

} // namespace

XdgLoginItem::XdgLoginItem(const UserFolders& folders, std::string_view bundleIdentifier,
                           fs::path executable)
    : file_(folders.preferences / "autostart" / (std::string(bundleIdentifier) + ".desktop")),
      executable_(std::move(executable)) {
    // A write that was cut short (a crash, a power cut) leaves its temporary file behind.
    removeLeftoverTemporaryFiles(file_);
}

LoginItemStatus XdgLoginItem::status() const {
    std::error_code ec;
    const auto type = fs::status(file_, ec).type();
    if (type == fs::file_type::not_found || type == fs::file_type::directory) {
        return LoginItemStatus::notRegistered;
    }
    // An entry that exists but can't be read is still started by the desktop as far as we
    // can tell, so it counts as on.
    if (const auto text = readWholeFile(file_, nullptr); text && isHidden(*text)) {
        return LoginItemStatus::notRegistered;
    }
    return LoginItemStatus::enabled;
}

std::string XdgLoginItem::desktopEntry(const fs::path& executable, std::string* error) {
    const auto path = executable.string();
    if (path.empty()) {
        if (error) {
            *error = "No program to start at login was given";
        }
        return {};
    }
    for (const char c : path) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            if (error) {
                *error = "The path of the program to start at login contains a control "
                         "character, which an autostart entry can't hold: " +
                         path;
            }
            return {};
        }
    }
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Tessera\n"
           "Exec=" +
           execArgument(path) +
           "\n"
           "Terminal=false\n";
}

bool XdgLoginItem::registerItem() {
    std::string error;
    const auto entry = desktopEntry(executable_, &error);
    if (entry.empty()) {
        lastError_ = std::move(error);
        return false;
    }
    if (auto failure = createFolders(file_.parent_path()); !failure.empty()) {
        lastError_ = std::move(failure);
        return false;
    }
    if (auto failure = writeFileAtomically(file_, entry); !failure.empty()) {
        lastError_ = std::move(failure);
        return false;
    }
    lastError_.clear();
    return true;
}

bool XdgLoginItem::unregisterItem() {
    std::error_code ec;
    const auto type = fs::symlink_status(file_, ec).type();
    if (type == fs::file_type::not_found || type == fs::file_type::directory) {
        lastError_.clear();
        return true;
    }
    if (!fs::remove(file_, ec) && ec) {
        lastError_ = "Can't remove the autostart entry " + file_.string() + ": " + ec.message();
        return false;
    }
    lastError_.clear();
    return true;
}

} // namespace tessera
