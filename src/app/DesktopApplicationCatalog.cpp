#include "DesktopApplicationCatalog.h"

#include <QCollator>
#include <QUrl>

#include <algorithm>

#include <array>
#include <string_view>
#include <system_error>

namespace tessera::shell {

namespace {

namespace fs = std::filesystem;

bool isFile(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

} // namespace

DesktopApplicationCatalog::DesktopApplicationCatalog()
    : DesktopApplicationCatalog(applicationFolders()) {}

DesktopApplicationCatalog::DesktopApplicationCatalog(std::vector<fs::path> applicationFolders,
                                                     Clock::duration rescanInterval)
    : folders_(std::move(applicationFolders)), rescanInterval_(rescanInterval) {}

void DesktopApplicationCatalog::read() const {
    entries_.clear();
    for (auto& entry : readDesktopEntries(folders_)) {
        auto id = entry.id;
        entries_.emplace(std::move(id), std::move(entry));
    }
    lastReading_ = Clock::now();
}

std::optional<CatalogEntry> DesktopApplicationCatalog::find(const QString& identifier) const {
    const auto id = identifier.toStdString();
    auto found = entries_.find(id);
    if (found == entries_.end() &&
        (!lastReading_ || Clock::now() - *lastReading_ >= rescanInterval_)) {
        read();
        found = entries_.find(id);
    }
    if (found == entries_.end()) {
        return std::nullopt;
    }
    return entryOf(found->second);
}

std::vector<CatalogEntry> DesktopApplicationCatalog::applications() const {
    read();
    std::vector<CatalogEntry> list;
    for (const auto& [id, entry] : entries_) {
        // Links and folders have no windows; entries kept out of menus are helpers and
        // handlers the user doesn't know by name.
        if (entry.noDisplay || (!entry.type.empty() && entry.type != "Application")) {
            continue;
        }
        list.push_back(entryOf(entry));
        if (list.back().name.isEmpty()) {
            list.back().name = list.back().identifier;
        }
    }
    const QCollator collator;
    std::stable_sort(list.begin(), list.end(), [&](const CatalogEntry& a, const CatalogEntry& b) {
        return collator.compare(a.name, b.name) < 0;
    });
    return list;
}

CatalogEntry DesktopApplicationCatalog::entryOf(const DesktopEntry& entry) const {
    return CatalogEntry{QString::fromStdString(entry.id), QString::fromStdString(entry.name),
                        iconSource(entry.icon)};
}

QString DesktopApplicationCatalog::iconSource(const std::string& icon) const {
    if (icon.empty()) {
        return {};
    }
    const fs::path named(icon);
    if (named.is_absolute()) {
        return isFile(named) ? QUrl::fromLocalFile(QString::fromStdString(icon)).toString()
                             : QString();
    }
    // A theme name never holds a folder; one that does would leave the icon folders.
    if (icon.find('/') != std::string::npos || icon == "." || icon == "..") {
        return {};
    }
    // Entries are meant to name icons without an extension, but some carry one anyway.
    std::string base = icon;
    for (const std::string_view extension : {".png", ".svg", ".xpm"}) {
        if (base.size() > extension.size() && base.ends_with(extension)) {
            base.resize(base.size() - extension.size());
            break;
        }
    }
    // Sizes close to what the list draws come first; big bitmaps scale down well, small ones
    // only as a last resort.
    static constexpr std::array<std::string_view, 10> sizes{
        "48x48",   "64x64", "scalable", "128x128", "96x96",
        "256x256", "32x32", "512x512",  "24x24",   "16x16"};
    static constexpr std::array<std::string_view, 2> themeExtensions{".png", ".svg"};
    static constexpr std::array<std::string_view, 3> pixmapExtensions{".png", ".svg", ".xpm"};
    for (const auto& folder : folders_) {
        const auto iconsFolder = folder.parent_path() / "icons" / "hicolor";
        for (const auto size : sizes) {
            for (const auto extension : themeExtensions) {
                const auto candidate =
                    iconsFolder / size / "apps" / (base + std::string(extension));
                if (isFile(candidate)) {
                    return QUrl::fromLocalFile(QString::fromStdString(candidate.string()))
                        .toString();
                }
            }
        }
    }
    for (const auto& folder : folders_) {
        for (const auto extension : pixmapExtensions) {
            const auto candidate =
                folder.parent_path() / "pixmaps" / (base + std::string(extension));
            if (isFile(candidate)) {
                return QUrl::fromLocalFile(QString::fromStdString(candidate.string())).toString();
            }
        }
    }
    return {};
}

} // namespace tessera::shell
