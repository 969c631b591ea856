#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/file_lock.h"

namespace lexbuild::platform {
namespace {

// Whether the open file `fd` is still the one named `path`: a holder that
// finished deletes the lock file, and a lock taken on the deleted file
// would not exclude a process that creates the name anew.
bool still_named(int fd, const std::string& path) {
  struct stat open_file {};
  struct stat named {};
  return ::fstat(fd, &open_file) == 0 && ::stat(path.c_str(), &named) == 0 &&
         open_file.st_dev == named.st_dev && open_file.st_ino == named.st_ino;
}

}  // namespace

FileLock::~FileLock() { unlock(); }

FileLock::Result FileLock::lock(const std::string& path) {
  unlock();
  error_code_ = 0;
  for (;;) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
      error_code_ = errno;
      return Result::kFailed;
    }
    int locked = 0;
    do {
      locked = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
      const int error = errno;
      ::close(fd);
      if (error == EWOULDBLOCK) return Result::kBusy;
      error_code_ = error;
      return Result::kFailed;
    }
    if (still_named(fd, path)) {
      fd_ = fd;
      path_ = path;
      cleanup_.emplace(path_);
      return Result::kLocked;
    }
    ::close(fd);  // the holder deleted it meanwhile: try the new file
  }
}

void FileLock::unlock() {
  if (fd_ < 0) return;
  // Deleted while still locked, so that no other process can lock this file
  // once it is gone; one that opened it meanwhile sees that and tries again.
  ::unlink(path_.c_str());
  ::close(fd_);
  fd_ = -1;
  cleanup_.reset();
}

}  // namespace lexbuild::platform
