#pragma once

#include "core/platform/AppServices.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace tessera::cli {

// What every subcommand gets: the user's folders from the environment and the two streams.
struct Context {
    UserFolders folders;
    std::ostream& out;
    std::ostream& err;
};

// Each returns the process exit status: 0 on success, 1 on a failure, 2 on a usage error.
int runLayouts(const Context& context, const std::vector<std::string>& arguments);
int runPrefs(const Context& context, const std::vector<std::string>& arguments);

} // namespace tessera::cli
