// The machine's memory load, shown in the debug progress line, and room
// for the build's large buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lexbuild::platform {

/// Share of physical memory in use, 0 to 100.
long memory_load_percent();

/// Peak resident memory of this process in kilobytes (0 when unknown).
long peak_memory_kb();

/// Has the `bytes` bytes from `data`, a fresh buffer that the build is
/// about to fill, backed by large pages where the system offers them: a
/// build fills buffers of tens of megabytes (a whole list, the stores, the
/// records), and taking their memory one small page at a time costs the
/// system more than the build's own work. Only a hint; the buffer's bytes
/// are not touched.
void advise_large_pages(const void* data, size_t bytes);

/// Gives the system back the whole pages of `buffer`'s room beyond its
/// size. A buffer that an earlier stage filled further keeps those pages
/// otherwise, counted as the build's memory until the buffer goes. Their
/// bytes are lost; the room stays usable.
void release_unused_room(std::vector<uint8_t>& buffer);

/// Reserves room for `capacity` elements in `buffer` (as its reserve()
/// does) and has the fresh memory backed by large pages where it can be.
template <typename T>
void reserve_large_buffer(std::vector<T>& buffer, size_t capacity) {
  if (capacity <= buffer.capacity()) return;
  buffer.reserve(capacity);
  advise_large_pages(buffer.data(), buffer.capacity() * sizeof(T));
}

}  // namespace lexbuild::platform
