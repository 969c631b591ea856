// Which line of the user's source a line of a stage file came from, so that
// messages about the list name the line the author can find. The CSV reader
// writes one line per record; a record starts later in the source after
// blank lines, the directive line and line breaks inside quotes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <utility>
#include <vector>

namespace lexbuild {

class LineMap {
 public:
  /// Line `list_line` of the stage file starts at line `source_line` of the
  /// source. Lines must be added in ascending order; only the lines where
  /// the distance between the two changes are kept.
  void add(uint64_t list_line, uint64_t source_line) {
    const int64_t offset = static_cast<int64_t>(source_line) - static_cast<int64_t>(list_line);
    if (points_.empty() ? offset != 0 : points_.back().second != offset) {
      points_.emplace_back(list_line, offset);
    }
  }

  /// The source line of `list_line`; the same number when nothing was added.
  uint64_t source_line(uint64_t list_line) const {
    // The last point at or before the line.
    const auto after =
        std::upper_bound(points_.begin(), points_.end(), list_line,
                         [](uint64_t line, const std::pair<uint64_t, int64_t>& point) {
                           return line < point.first;
                         });
    const int64_t offset = after == points_.begin() ? 0 : std::prev(after)->second;
    return static_cast<uint64_t>(static_cast<int64_t>(list_line) + offset);
  }

 private:
  std::vector<std::pair<uint64_t, int64_t>> points_;  // from this list line on, this distance
};

}  // namespace lexbuild
