#pragma once

#include <string_view>

namespace tessera {

enum class LogLevel { debug, info, error };

// The system log. The subsystem is the application's bundle identifier, fixed by the backend.
class Log {
public:
    virtual ~Log() = default;
    virtual void write(std::string_view category, LogLevel level, std::string_view message) = 0;
};

} // namespace tessera
