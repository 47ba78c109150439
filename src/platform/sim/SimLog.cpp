#include "SimLog.h"

namespace tessera {

void SimLog::write(std::string_view category, LogLevel level, std::string_view message) {
    lines_.push_back({std::string(category), level, std::string(message)});
}

std::vector<std::string> SimLog::messages(std::string_view category) const {
    std::vector<std::string> result;
    for (const auto& line : lines_) {
        if (line.category == category) {
            result.push_back(line.message);
        }
    }
    return result;
}

} // namespace tessera
