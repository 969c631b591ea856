// Finding one byte in a long run of text: memchr reads many bytes a step
// where std::find reads one, and the intake scans every list several times.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace lexbuild {

/// The first `byte` in [first, last), or `last`.
inline const uint8_t* find_byte(const uint8_t* first, const uint8_t* last, uint8_t byte) {
  if (first == last) return last;  // memchr wants a pointer even for no bytes
  const void* at = std::memchr(first, byte, static_cast<size_t>(last - first));
  return at != nullptr ? static_cast<const uint8_t*>(at) : last;
}

/// How many times `byte` occurs in [first, last).
inline size_t count_byte(const uint8_t* first, const uint8_t* last, uint8_t byte) {
  size_t count = 0;
  for (const uint8_t* at = find_byte(first, last, byte); at != last;
       at = find_byte(at + 1, last, byte)) {
    ++count;
  }
  return count;
}

/// The first 16-bit unit of the bytes `low`, `high` in [first, last), a run
/// of whole units from `first`, or `last`. The low byte is searched for: in
/// most 16-bit text it is far rarer than the zero high bytes.
inline const uint8_t* find_unit(const uint8_t* first, const uint8_t* last, uint8_t low,
                                uint8_t high) {
  for (const uint8_t* at = find_byte(first, last, low); at != last;
       at = find_byte(at + 1, last, low)) {
    if ((at - first) % 2 == 0 && last - at >= 2 && at[1] == high) return at;
  }
  return last;
}

}  // namespace lexbuild
