// The machine's memory load, shown in the debug progress line, and the
// room of the build's large buffers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lexbuild::platform {

/// Share of physical memory in use, 0 to 100.
long memory_load_percent();

/// Peak resident memory of this process in kilobytes (0 when unknown).
long peak_memory_kb();

/// Gives the system back the whole pages of `buffer`'s room beyond its
/// size. A buffer that an earlier stage filled further keeps those pages
/// otherwise, counted as the build's memory until the buffer goes. Their
/// bytes are lost; the room stays usable.
void release_unused_room(std::vector<uint8_t>& buffer);

}  // namespace lexbuild::platform
