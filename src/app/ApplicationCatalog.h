#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace tessera::shell {

// An installed application as the exclusions list shows it.
struct CatalogEntry {
    // What "ignoredApps" stores.
    QString identifier;
    QString name;
    // An icon source QML can draw ("image://…" or a file URL); empty for the generic icon.
    QString iconSource;
};

// The installed applications: on Linux their desktop entries.
class ApplicationCatalog {
public:
    virtual ~ApplicationCatalog() = default;
    // The application with this identifier; nothing when none is installed.
    virtual std::optional<CatalogEntry> find(const QString& identifier) const = 0;
    // The applications a user can choose from, by name: those the desktop shows in its menus.
    virtual std::vector<CatalogEntry> applications() const = 0;
};

} // namespace tessera::shell
