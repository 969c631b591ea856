// An advisory lock held through a file, for as long as the object lives. The
// system drops the lock when the process ends, however it ends, so a build
// that crashed never leaves a lock that blocks the next one.
//
// New beside FileLock (the Win32 half needs them too): FileHold,
// remove_unheld(), process_may_run() and remove_abandoned_siblings(), which
// tell the files of a build that still runs from those a killed one left.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

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

/// A shared hold on a file that this process made and still needs, for as
/// long as the object lives: remove_unheld() leaves such a file alone, in
/// any process. The system drops the hold when the process ends, however.
class FileHold {
 public:
  FileHold() = default;
  ~FileHold();  // release()
  FileHold(const FileHold&) = delete;
  FileHold& operator=(const FileHold&) = delete;

  /// Holds `path`; false when it cannot be opened or held.
  bool hold(const std::string& path);
  void release();

 private:
  int fd_ = -1;
};

/// Deletes `path` unless a process holds it (FileHold or FileLock); false
/// when it stays.
bool remove_unheld(const std::string& path);

/// Whether a process of this id may still run: false only when there is
/// certainly none.
bool process_may_run(long process_id);

/// Deletes what killed runs left beside `path`: the hidden files
/// ".<name>.<tag><process id>" of each tag, when that process has ended
/// and nothing holds the file. Those of this process stay.
void remove_abandoned_siblings(const std::string& path,
                               std::initializer_list<std::string_view> tags);

}  // namespace lexbuild::platform
