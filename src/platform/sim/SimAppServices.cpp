#include "SimAppServices.h"

#include <algorithm>

namespace tessera {

std::size_t SimAppServices::count(Call call) const {
    return static_cast<std::size_t>(std::count(calls_.begin(), calls_.end(), call));
}

} // namespace tessera
