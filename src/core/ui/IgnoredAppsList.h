#pragma once

#include <string>
#include <vector>

namespace tessera {

// The list of the Exclusions pane, as edited before it is written back to "ignoredApps".

// The list with the candidates appended in the order given, each once, leaving out the ones
// already listed. Empty candidates and ones holding a line feed are dropped too: the stored
// form could not hold them (it separates identifiers by line feeds and drops empty pieces).
std::vector<std::string> addingIgnoredApps(std::vector<std::string> current,
                                           const std::vector<std::string>& candidates);

// The list without any copy of the identifier (a hand-edited value may hold it twice), the
// rest in their order.
std::vector<std::string> removingIgnoredApp(std::vector<std::string> current,
                                            const std::string& identifier);

} // namespace tessera
