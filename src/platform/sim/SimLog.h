#pragma once

#include "core/platform/Log.h"

#include <string>
#include <vector>

namespace tessera {

struct LogLine {
    std::string category;
    LogLevel level = LogLevel::debug;
    std::string message;

    friend bool operator==(const LogLine&, const LogLine&) = default;
};

// Keeps every line written, in order, so tests can check diagnostics word for word.
class SimLog final : public Log {
public:
    void write(std::string_view category, LogLevel level, std::string_view message) override;

    const std::vector<LogLine>& lines() const { return lines_; }
    // The messages of one category, in order.
    std::vector<std::string> messages(std::string_view category) const;
    void clear() { lines_.clear(); }

private:
    std::vector<LogLine> lines_;
};

} // namespace tessera
