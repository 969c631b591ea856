// Questions about an existing file that the file layer does not answer: may
// it be changed in place, and carrying its permissions over to a new version.
#pragma once

#include <string>

namespace lexbuild::platform {

/// Whether the regular file at `path` exists and may be opened for reading
/// and writing. A file without any write permission counts as read-only even
/// for a user whom the system would let write it anyway: its owner marked it
/// so. False (with *error_code) otherwise.
bool file_updatable(const std::string& path, int* error_code = nullptr);

/// Gives `to` the permission bits of `from`; false when either cannot be examined or changed.
bool copy_file_mode(const std::string& from, const std::string& to);

}  // namespace lexbuild::platform
