// An advisory lock held through a file, for as long as the object lives. The
// system drops the lock when the process ends, however it ends, so a build
// that crashed never leaves a lock that blocks the next one.
#pragma once

#include <optional>
#include <string>

#include "platform/interrupt_cleanup.h"

namespace lexbuild::platform {

class FileLock {
 public:
  enum class Result {
    kLocked,  // this object holds the lock
    kBusy,    // another process holds it
    kFailed,  // the lock file cannot be created or locked (see error_code())
  };

  FileLock() = default;
  ~FileLock();  // unlock()
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  /// Creates `path` when it is missing and locks it without waiting.
  Result lock(const std::string& path);
  bool is_locked() const { return fd_ >= 0; }
  int error_code() const { return error_code_; }

  /// Deletes the lock file and releases the lock.
  void unlock();

 private:
  int fd_ = -1;
  std::string path_;
  int error_code_ = 0;
  std::optional<InterruptCleanup> cleanup_;  // the file goes with a signal too
};

}  // namespace lexbuild::platform
