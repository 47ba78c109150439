#pragma once

#include "XServerFixture.h"

#include "platform/sim/SimLog.h"
#include "platform/x11/X11Connection.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace tessera::x11test {

// A test of the X11 ports: a server, and a connection of their own to it.
class PortTest : public ::testing::Test {
protected:
    explicit PortTest(ServerOptions options = {}) : server(std::move(options)) {
        std::string error;
        connection = X11Connection::open(server.display(), error);
        if (!connection) {
            throw std::runtime_error("cannot open the ports' connection: " + error);
        }
    }

    // Waits, handing the connection's events to the ports, until the condition holds.
    bool waitDispatching(const std::function<bool()>& condition) {
        return server.waitUntil([&] {
            connection->dispatchPending();
            return condition();
        });
    }

    XServer server;
    std::unique_ptr<X11Connection> connection;
    SimLog log;
};

} // namespace tessera::x11test
