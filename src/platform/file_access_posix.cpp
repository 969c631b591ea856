#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_access.h"

namespace lexbuild::platform {

bool file_updatable(const std::string& path, int* error_code) {
  struct stat st {};
  int error = 0;
  if (::stat(path.c_str(), &st) != 0) {
    error = errno;
  } else if (S_ISDIR(st.st_mode)) {
    error = EISDIR;
  } else if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
    error = EACCES;
  } else {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
      error = errno;
    } else {
      ::close(fd);
    }
  }
  if (error != 0 && error_code) *error_code = error;
  return error == 0;
}

bool copy_file_mode(const std::string& from, const std::string& to) {
  struct stat st {};
  if (::stat(from.c_str(), &st) != 0) return false;
  return ::chmod(to.c_str(), st.st_mode & 07777) == 0;
}

}  // namespace lexbuild::platform
