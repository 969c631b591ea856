// Sorting a large list on every core.
#pragma once

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <system_error>
#include <thread>
#include <vector>

namespace lexbuild {

/// Sorts `items` by `less`, which must be a strict total order (no two items
/// equivalent), so that the result is the one std::sort gives. Up to
/// `workers` threads each sort a part; the parts are then merged.
template <typename T, typename Less>
void parallel_sort(std::vector<T>& items, Less less, size_t workers) {
  // Below this a thread costs more than it saves.
  constexpr size_t kLeastPerPart = size_t{1} << 14;
  const size_t parts =
      std::clamp<size_t>(items.size() / kLeastPerPart, 1, std::max<size_t>(workers, 1));
  if (parts == 1) {
    std::sort(items.begin(), items.end(), less);
    return;
  }
  std::vector<size_t> bounds;
  for (size_t p = 0; p <= parts; ++p) bounds.push_back(items.size() * p / parts);
  const auto at = [&items](size_t i) { return items.begin() + static_cast<std::ptrdiff_t>(i); };
  const auto sort_part = [&](size_t p) { std::sort(at(bounds[p]), at(bounds[p + 1]), less); };

  std::vector<std::thread> threads;
  size_t on_this_thread = 0;  // the parts from here on are sorted here
  for (size_t p = 1; p < parts; ++p) {
    try {
      threads.emplace_back(sort_part, p);
    } catch (const std::system_error&) {
      on_this_thread = p;  // no more threads: the rest are sorted here
      break;
    }
  }
  sort_part(0);
  if (on_this_thread != 0) {
    for (size_t p = on_this_thread; p < parts; ++p) sort_part(p);
  }
  for (std::thread& thread : threads) thread.join();

  // Neighbouring parts merge in rounds until one is left.
  for (size_t width = 1; width < parts; width *= 2) {
    for (size_t p = 0; p + width < parts; p += 2 * width) {
      const size_t end = std::min(p + 2 * width, parts);
      std::inplace_merge(at(bounds[p]), at(bounds[p + width]), at(bounds[end]), less);
    }
  }
}

}  // namespace lexbuild
