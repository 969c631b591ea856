// One build at a time in a work folder. Two builds sharing it (a makefile
// run with -j, say) would take each other's record and chunk files for their
// own, and each deletes the files an earlier run left there; so a build holds
// a lock in the work folder from start to end, and a second one is refused.
#pragma once

#include "driver/settings.h"
#include "platform/file_lock.h"

namespace lexbuild {

/// The lock file in the work folder; it exists only while a build runs.
inline constexpr char kWorkFolderLockFile[] = "lexbuild.lock";

class WorkFolderLock {
 public:
  /// Takes the work folder of `settings` for this build. Fatal, naming the
  /// folder, when another build holds it or when no file can be made there.
  explicit WorkFolderLock(const Settings& settings);

 private:
  platform::FileLock lock_;
};

}  // namespace lexbuild
