#include <windows.h>

#include <cerrno>

#include "platform/file_access.h"
#include "platform/win32_text.h"

namespace lexbuild::platform {
namespace {

// What a new version of a file takes over from the old one; the rest of its
// rights come from its folder.
constexpr DWORD kCarriedAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

}  // namespace

bool file_updatable(const std::string& path, int* error_code) {
  const DWORD attributes = ::GetFileAttributesW(win32::widen(path).c_str());
  int error = 0;
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    error = win32::last_errno();
  } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    error = EISDIR;
  } else if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    error = EACCES;  // its owner marked it read-only
  } else {
    const HANDLE handle = win32::open_shared(path, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
    if (handle == INVALID_HANDLE_VALUE) {
      error = win32::last_errno();
    } else {
      ::CloseHandle(handle);
    }
  }
  if (error != 0 && error_code) *error_code = error;
  return error == 0;
}

bool copy_file_mode(const std::string& from, const std::string& to) {
  const DWORD source = ::GetFileAttributesW(win32::widen(from).c_str());
  const std::wstring target_path = win32::widen(to);
  const DWORD target = ::GetFileAttributesW(target_path.c_str());
  if (source == INVALID_FILE_ATTRIBUTES || target == INVALID_FILE_ATTRIBUTES) return false;
  DWORD attributes = (target & ~kCarriedAttributes) | (source & kCarriedAttributes);
  if (attributes == 0) attributes = FILE_ATTRIBUTE_NORMAL;
  return ::SetFileAttributesW(target_path.c_str(), attributes) != 0;
}

}  // namespace lexbuild::platform
