#include "SessionBus.h"

#include <gio/gio.h>

#include <cstdlib>
#include <filesystem>

namespace tessera {

namespace {

std::string messageOf(GError* error) {
    std::string text = error != nullptr && error->message != nullptr ? error->message : "unknown";
    g_clear_error(&error);
    return text;
}

} // namespace

bool sessionBusAddressKnown() {
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address != nullptr && *address != '\0') {
        return true;
    }
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::error_code ignored;
    return runtime != nullptr && *runtime != '\0' &&
           std::filesystem::exists(std::filesystem::path(runtime) / "bus", ignored);
}

std::unique_ptr<SessionBus> SessionBus::connect(std::string& error) {
    if (!sessionBusAddressKnown()) {
        error = "no session bus (DBUS_SESSION_BUS_ADDRESS is not set)";
        return nullptr;
    }
    GError* failure = nullptr;
    GDBusConnection* connection = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &failure);
    if (connection == nullptr) {
        error = "no session bus: " + messageOf(failure);
        return nullptr;
    }
    return std::make_unique<SessionBus>(Key{}, connection);
}

SessionBus::SessionBus(Key, GDBusConnection* connection) : connection_(connection) {}

SessionBus::~SessionBus() {
    if (owned_) {
        GVariant* reply = g_dbus_connection_call_sync(
            connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "ReleaseName", g_variant_new("(s)", name), G_VARIANT_TYPE("(u)"),
            G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr);
        if (reply != nullptr) {
            g_variant_unref(reply);
        }
    }
    g_dbus_connection_flush_sync(connection_, nullptr, nullptr);
    g_object_unref(connection_);
}

bool SessionBus::claimName(std::string& error) {
    if (owned_) {
        return true;
    }
    GError* failure = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "RequestName", g_variant_new("(su)", name, 4U /* do not queue */), G_VARIANT_TYPE("(u)"),
        G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &failure);
    if (reply == nullptr) {
        error = std::string("can't take the name ") + name + ": " + messageOf(failure);
        return false;
    }
    guint32 result = 0;
    g_variant_get(reply, "(u)", &result);
    g_variant_unref(reply);
    // 1: primary owner now; 4: already the owner.
    if (result != 1 && result != 4) {
        error = std::string("another Tessera runs in this session (") + name +
                " is taken on the session bus)";
        return false;
    }
    owned_ = true;
    return true;
}

} // namespace tessera
