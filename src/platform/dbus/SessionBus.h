#pragma once

#include <memory>
#include <string>

struct _GDBusConnection;

namespace tessera {

// Tessera's one connection to the session bus and its one well-known name on it. Everything
// Tessera serves on the bus (the KWin script's bridge, the scripting interface) shares this
// connection, so one process holds the name once, whichever of them claims it first; the
// objects are registered before the claim, so nobody who sees the name finds them missing.
class SessionBus {
public:
    static constexpr const char* name = "app.tessera.Tessera";

    // Nothing, with the reason, when there is no session bus. A session without a bus address
    // (and without the user's bus socket) is not given one: GLib would launch a bus of its own
    // that nothing else in the session could reach.
    static std::unique_ptr<SessionBus> connect(std::string& error);
    // Only connect() makes one.
    class Key {
        friend class SessionBus;
        Key() = default;
    };
    SessionBus(Key, _GDBusConnection* connection);
    // Gives the name back.
    ~SessionBus();
    SessionBus(const SessionBus&) = delete;
    SessionBus& operator=(const SessionBus&) = delete;

    _GDBusConnection* connection() const { return connection_; }

    // Takes the name, without queueing behind another owner. True once this process owns it
    // (at once when it already does); false with the reason when another process holds it.
    bool claimName(std::string& error);
    bool ownsName() const { return owned_; }

private:
    _GDBusConnection* connection_;
    bool owned_ = false;
};

// Whether a session bus can be reached without launching one.
bool sessionBusAddressKnown();

} // namespace tessera
