// Records laid back to back in one buffer. A large dictionary packs a few
// hundred records of up to 64 KiB each; one buffer, reserved for all of them
// at once, takes its memory in a few large pieces instead of one small page
// at a time per record, and is written out without another copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace lexbuild {

class RecordRun {
 public:
  /// Room for `bytes` bytes of records; pages never written cost no memory.
  void reserve(size_t bytes) { bytes_.reserve(bytes); }

  void append(std::span<const uint8_t> record) {
    bytes_.insert(bytes_.end(), record.begin(), record.end());
    ends_.push_back(bytes_.size());
  }

  size_t size() const { return ends_.size(); }
  bool empty() const { return ends_.empty(); }

  /// Record `number`. Its bytes stay where they are when the run is moved.
  std::span<const uint8_t> operator[](size_t number) const {
    const size_t begin = number == 0 ? 0 : ends_[number - 1];
    return std::span(bytes_).subspan(begin, ends_[number] - begin);
  }

  friend bool operator==(const RecordRun&, const RecordRun&) = default;

 private:
  std::vector<uint8_t> bytes_;
  std::vector<size_t> ends_;  // where each record ends in bytes_
};

}  // namespace lexbuild
