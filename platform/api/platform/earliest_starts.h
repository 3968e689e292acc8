#pragma once

#include <algorithm>
#include <compare>
#include <cstddef>
#include <numeric>
#include <vector>

#include "platform/date.h"

namespace platform {

// The positions of the `limit` earliest of `starts`, in ascending order of
// position; of equal starts the earlier position counts as earlier. Every
// position when there are no more than `limit`. Dates compare in a total order,
// so no value of the platform's can upset the selection.
inline std::vector<std::size_t> earliest_starts(const std::vector<Date>& starts, std::size_t limit) {
  std::vector<std::size_t> positions(starts.size());
  std::iota(positions.begin(), positions.end(), std::size_t{0});
  if (starts.size() <= limit) return positions;
  auto earlier = [&](std::size_t a, std::size_t b) {
    std::strong_ordering order = std::strong_order(starts[a].seconds_since_1970, starts[b].seconds_since_1970);
    return order < 0 || (order == 0 && a < b);
  };
  auto cut = positions.begin() + static_cast<std::ptrdiff_t>(limit);
  std::nth_element(positions.begin(), cut, positions.end(), earlier);
  positions.erase(cut, positions.end());
  std::sort(positions.begin(), positions.end());
  return positions;
}

}  // namespace platform
