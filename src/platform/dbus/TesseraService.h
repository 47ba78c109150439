#pragma once

#include "core/app/ControlRequests.h"
#include "core/model/Signal.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct _GDBusMethodInvocation;
struct _GVariant;

namespace tessera {

class SessionBus;

// The interface's definition as shipped (resources/dbus/app.tessera.Tessera1.xml).
std::string_view tesseraInterfaceXml();

// What a running Tessera answers on the session bus: object /app/tessera/Tessera, interface
// app.tessera.Tessera1. Each method hands its arguments to the control requests and turns a
// failure into the D-Bus error app.tessera.Tessera1.Error.<name> with the request's message;
// the requests' announcements go out as signals. It offers the object on the bus's connection
// and claims the bus's name (which the KWin bridge may hold already).
class TesseraService {
public:
    static constexpr const char* objectPath = "/app/tessera/Tessera";
    static constexpr const char* interfaceName = "app.tessera.Tessera1";
    static constexpr const char* errorPrefix = "app.tessera.Tessera1.Error.";

    // Nothing, with the reason, when the object can't be offered or another process holds the
    // name. The bus and the requests must outlive the service.
    static std::unique_ptr<TesseraService> start(SessionBus& bus, ControlRequests& requests,
                                                 std::string& error);
    // Only start() makes one.
    class Key {
        friend class TesseraService;
        Key() = default;
    };
    TesseraService(Key, SessionBus& bus, ControlRequests& requests);
    ~TesseraService();
    TesseraService(const TesseraService&) = delete;
    TesseraService& operator=(const TesseraService&) = delete;

    // What a call comes to; public for the C callback only.
    void handleCall(const char* method, _GVariant* parameters, _GDBusMethodInvocation* invocation);

private:
    void emitSignal(const char* name, _GVariant* arguments);

    SessionBus& bus_;
    ControlRequests& requests_;
    unsigned registration_ = 0;
    std::vector<Connection> connections_;
};

// What a call to the running Tessera came to, for tesseractl.
struct TesseraReply {
    enum class Status { ok, notRunning, failed };
    Status status = Status::failed;
    // The method's answer: its text, or "true"/"false"; empty for none.
    std::string value;
    // For a failure: the D-Bus error's name and message (the reason for notRunning).
    std::string errorName;
    std::string message;
};

// Calls a method of app.tessera.Tessera1 with string arguments on whoever owns the name on the
// session bus, without starting Tessera when nobody does.
TesseraReply callTessera(std::string_view method, const std::vector<std::string>& arguments);

} // namespace tessera
