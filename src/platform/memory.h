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

/// Reserves room for `capacity` bytes in `buffer` (as its reserve() does)
/// and, where the system offers it, has the fresh memory backed by large
/// pages: a build fills buffers of tens of megabytes (a whole list, the
/// database), and taking their memory one small page at a time costs the
/// system more than the build's own work.
void reserve_large_buffer(std::vector<uint8_t>& buffer, size_t capacity);

}  // namespace lexbuild::platform
