#include "engine/run_types.h"

#include <limits>
#include <stdexcept>

namespace tidemark {

void Count(std::int32_t& counter, std::int64_t amount) {
    const std::int64_t sum = static_cast<std::int64_t>(counter) + amount;
    if (sum > std::numeric_limits<std::int32_t>::max() ||
        sum < std::numeric_limits<std::int32_t>::min()) {
        throw std::overflow_error("Overflow");
    }
    counter = static_cast<std::int32_t>(sum);
}

}  // namespace tidemark
