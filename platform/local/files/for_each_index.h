#pragma once

// Work over many files on every core: the index space is claimed in small runs by
// this thread and, when there is enough of it, by helpers.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <system_error>
#include <thread>
#include <vector>

namespace platform::local {

struct WorkSplit {
  std::size_t worth_a_second_thread;  // below this many, this thread does all
  std::size_t per_claim;              // indices a thread takes at a time
};

// Runs work(i) for every i below count. Helpers that cannot be started leave their
// share to the others; this thread always takes part.
template <class Work>
void for_each_index(std::size_t count, WorkSplit split, Work work) {
  std::atomic<std::size_t> next{0};
  auto drain = [&] {
    for (std::size_t first; (first = next.fetch_add(split.per_claim)) < count;) {
      for (std::size_t i = first; i < std::min(count, first + split.per_claim); ++i) work(i);
    }
  };
  std::vector<std::thread> helpers;
  if (count >= split.worth_a_second_thread) {
    unsigned cores = std::max(1u, std::min(4u, std::thread::hardware_concurrency()));
    try {
      for (unsigned i = 1; i < cores; ++i) helpers.emplace_back(drain);
    } catch (const std::system_error&) {
      // Fewer helpers, or none.
    }
  }
  drain();
  for (auto& helper : helpers) helper.join();
}

}  // namespace platform::local
