#include "IgnoredAppsList.h"

#include <algorithm>

namespace tessera {

std::vector<std::string> addingIgnoredApps(std::vector<std::string> current,
                                           const std::vector<std::string>& candidates) {
    for (const auto& candidate : candidates) {
        if (!candidate.empty() && candidate.find('\n') == std::string::npos &&
            std::find(current.begin(), current.end(), candidate) == current.end()) {
            current.push_back(candidate);
        }
    }
    return current;
}

std::vector<std::string> removingIgnoredApp(std::vector<std::string> current,
                                            const std::string& identifier) {
    std::erase(current, identifier);
    return current;
}

} // namespace tessera
