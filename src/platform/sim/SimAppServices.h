#pragma once

#include "core/platform/AppServices.h"
#include "core/platform/ProcessId.h"

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tessera {

// What the application knows of itself, as a test sets it up, and a record of the requests that
// would end the process or bring a window forward on a real system.
class SimAppServices final : public AppServices {
public:
    enum class Call { relaunch, showMainWindow };

    // The folders of a test user; every one of them normally lies in a temporary folder.
    explicit SimAppServices(UserFolders folders, ProcessId processIdentifier = 42,
                            std::string bundleIdentifier = "app.tessera.Tessera",
                            std::optional<std::string> shortVersion = std::string("1.0"))
        : folders_(std::move(folders)), processIdentifier_(processIdentifier),
          bundleIdentifier_(std::move(bundleIdentifier)), shortVersion_(std::move(shortVersion)) {}

    std::string bundleIdentifier() const override { return bundleIdentifier_; }
    std::optional<std::string> shortVersionString() const override { return shortVersion_; }
    int processIdentifier() const override { return processIdentifier_; }
    UserFolders userFolders() const override { return folders_; }
    // Recorded; the process goes on.
    void relaunch() override { calls_.push_back(Call::relaunch); }
    void showMainWindow() override { calls_.push_back(Call::showMainWindow); }

    // Requests in the order they came.
    const std::vector<Call>& calls() const { return calls_; }
    std::size_t count(Call call) const;

private:
    UserFolders folders_;
    ProcessId processIdentifier_;
    std::string bundleIdentifier_;
    std::optional<std::string> shortVersion_;
    std::vector<Call> calls_;
};

} // namespace tessera
