#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "platform/env.h"
#include "platform/file.h"
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
  // A signal never finds the lock file made but not registered, nor deletes
  // one that another build holds.
  const DeferredInterrupts deferred;
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
      // The very last file a signal deletes: once it is gone, another
      // build may take the folder.
      cleanup_.emplace(path_, std::string(), InterruptCleanup::Order::kLast);
      return Result::kLocked;
    }
    ::close(fd);  // the holder deleted it meanwhile: try the new file
  }
}

void FileLock::unlock() {
  if (fd_ < 0) return;
  // A signal in between would delete the lock file of a build that took
  // the folder as soon as this one was gone.
  const DeferredInterrupts deferred;
  // Deleted while still locked, so that no other process can lock this file
  // once it is gone; one that opened it meanwhile sees that and tries again.
  ::unlink(path_.c_str());
  ::close(fd_);
  fd_ = -1;
  cleanup_.reset();
}

FileHold::~FileHold() { release(); }

bool FileHold::hold(const std::string& path) {
  release();
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

void FileHold::release() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool remove_unheld(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  // Deleted while locked, and only when the name is still the locked file.
  const bool removed =
      ::flock(fd, LOCK_EX | LOCK_NB) == 0 && still_named(fd, path) && ::unlink(path.c_str()) == 0;
  ::close(fd);
  return removed;
}

bool process_may_run(long process_id) {
  if (process_id <= 0) return true;
  return ::kill(static_cast<pid_t>(process_id), 0) == 0 || errno != ESRCH;
}

void remove_abandoned_siblings(const std::string& path,
                               std::initializer_list<std::string_view> tags) {
  const std::string folder = folder_of(path);
  const size_t slash = path.find_last_of(kPathSeparator);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const long own = process_id();
  for (const std::string_view tag : tags) {
    const std::string prefix = "." + name + "." + std::string(tag);
    for (const std::string& sibling : list_matching(folder, prefix + "*")) {
      const std::string_view digits = std::string_view(sibling).substr(prefix.size());
      if (digits.empty() || digits.size() > 18 ||
          digits.find_first_not_of("0123456789") != std::string_view::npos) {
        continue;  // not a name this program gives
      }
      const long owner = std::stol(std::string(digits));
      if (owner == own || process_may_run(owner)) continue;
      remove_unheld(path_join(folder, sibling));
    }
  }
}

}  // namespace lexbuild::platform
