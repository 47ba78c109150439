#include "TesseraService.h"

#include "SessionBus.h"

#include <gio/gio.h>

#include <utility>

namespace tessera {

namespace {

std::string messageOf(GError* error) {
    std::string text = error != nullptr && error->message != nullptr ? error->message : "unknown";
    g_clear_error(&error);
    return text;
}

void methodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                GVariant* parameters, GDBusMethodInvocation* invocation, gpointer self) {
    static_cast<TesseraService*>(self)->handleCall(method, parameters, invocation);
}

const GDBusInterfaceVTable vtable{methodCall, nullptr, nullptr, {}};

void answer(GDBusMethodInvocation* invocation, const ControlResult& result, GVariant* value) {
    if (result) {
        if (value != nullptr) {
            g_variant_unref(g_variant_ref_sink(value));
        }
        const std::string name =
            TesseraService::errorPrefix + std::string(failureName(result->failure));
        g_dbus_method_invocation_return_dbus_error(invocation, name.c_str(),
                                                   result->message.c_str());
        return;
    }
    g_dbus_method_invocation_return_value(invocation, value);
}

// The string argument at a position; the bus checked the signature against the interface.
std::string argument(GVariant* parameters, gsize index) {
    GVariant* child = g_variant_get_child_value(parameters, index);
    std::string text = g_variant_get_string(child, nullptr);
    g_variant_unref(child);
    return text;
}

} // namespace

std::unique_ptr<TesseraService> TesseraService::start(SessionBus& bus, ControlRequests& requests,
                                                      std::string& error) {
    auto service = std::make_unique<TesseraService>(Key{}, bus, requests);
    GError* failure = nullptr;
    const std::string xml(tesseraInterfaceXml());
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(xml.c_str(), &failure);
    if (node == nullptr) {
        error = "bad interface definition: " + messageOf(failure);
        return nullptr;
    }
    service->registration_ =
        g_dbus_connection_register_object(bus.connection(), objectPath, node->interfaces[0],
                                          &vtable, service.get(), nullptr, &failure);
    g_dbus_node_info_unref(node);
    if (service->registration_ == 0) {
        error = "can't offer " + std::string(objectPath) + ": " + messageOf(failure);
        return nullptr;
    }
    if (!bus.claimName(error)) {
        return nullptr;
    }
    return service;
}

TesseraService::TesseraService(Key, SessionBus& bus, ControlRequests& requests)
    : bus_(bus), requests_(requests) {
    connections_.push_back(
        requests_.onLayoutsChanged([this] { emitSignal("LayoutsChanged", nullptr); }));
    connections_.push_back(
        requests_.onAssignmentsChanged([this] { emitSignal("AssignmentsChanged", nullptr); }));
    connections_.push_back(
        requests_.onPlaced([this](const std::optional<Uuid>& zone, const std::string& display) {
            const std::string zoneText = zone ? zone->string() : "";
            emitSignal("WindowPlaced", g_variant_new("(ss)", zoneText.c_str(), display.c_str()));
        }));
}

TesseraService::~TesseraService() {
    if (registration_ != 0) {
        g_dbus_connection_unregister_object(bus_.connection(), registration_);
    }
}

void TesseraService::emitSignal(const char* name, GVariant* arguments) {
    // Broadcast; a failure (the bus went away) leaves nobody to tell.
    g_dbus_connection_emit_signal(bus_.connection(), nullptr, objectPath, interfaceName, name,
                                  arguments, nullptr);
}

void TesseraService::handleCall(const char* method, GVariant* parameters,
                                GDBusMethodInvocation* invocation) {
    const std::string_view name = method;
    if (name == "Displays") {
        answer(invocation, std::nullopt, g_variant_new("(s)", requests_.displays().c_str()));
    } else if (name == "Layouts") {
        answer(invocation, std::nullopt, g_variant_new("(s)", requests_.layouts().c_str()));
    } else if (name == "Place") {
        answer(invocation, requests_.place(argument(parameters, 0), argument(parameters, 1)),
               nullptr);
    } else if (name == "Command") {
        bool moved = false;
        const auto result = requests_.perform(argument(parameters, 0), &moved);
        answer(invocation, result, g_variant_new("(b)", moved ? TRUE : FALSE));
    } else if (name == "Assign") {
        answer(invocation, requests_.assign(argument(parameters, 0), argument(parameters, 1)),
               nullptr);
    } else if (name == "PreviewZones") {
        requests_.previewZones();
        answer(invocation, std::nullopt, nullptr);
    } else if (name == "ShowWindow") {
        answer(invocation, requests_.showMainWindow(argument(parameters, 0)), nullptr);
    } else {
        g_dbus_method_invocation_return_dbus_error(
            invocation, "org.freedesktop.DBus.Error.UnknownMethod", "no such method");
    }
}

TesseraReply callTessera(std::string_view method, const std::vector<std::string>& arguments) {
    TesseraReply reply;
    std::string error;
    const auto bus = SessionBus::connect(error);
    if (!bus) {
        reply.status = TesseraReply::Status::notRunning;
        reply.message = error;
        return reply;
    }
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE_TUPLE);
    for (const auto& each : arguments) {
        g_variant_builder_add(&builder, "s", each.c_str());
    }
    GError* failure = nullptr;
    const std::string name(method);
    // No auto-start: a script asking a Tessera that isn't running is told so, and no
    // application window appears because of it.
    GVariant* result = g_dbus_connection_call_sync(
        bus->connection(), SessionBus::name, TesseraService::objectPath,
        TesseraService::interfaceName, name.c_str(), g_variant_builder_end(&builder), nullptr,
        G_DBUS_CALL_FLAGS_NO_AUTO_START, 30000, nullptr, &failure);
    if (result == nullptr) {
        gchar* remote = g_dbus_error_get_remote_error(failure);
        reply.errorName = remote != nullptr ? remote : "";
        g_free(remote);
        g_dbus_error_strip_remote_error(failure);
        const bool absent = reply.errorName == "org.freedesktop.DBus.Error.ServiceUnknown" ||
                            reply.errorName == "org.freedesktop.DBus.Error.NameHasNoOwner";
        reply.status = absent ? TesseraReply::Status::notRunning : TesseraReply::Status::failed;
        reply.message = messageOf(failure);
        return reply;
    }
    reply.status = TesseraReply::Status::ok;
    if (g_variant_n_children(result) == 1) {
        GVariant* value = g_variant_get_child_value(result, 0);
        if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING)) {
            reply.value = g_variant_get_string(value, nullptr);
        } else if (g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN)) {
            reply.value = g_variant_get_boolean(value) != FALSE ? "true" : "false";
        }
        g_variant_unref(value);
    }
    g_variant_unref(result);
    return reply;
}

} // namespace tessera
