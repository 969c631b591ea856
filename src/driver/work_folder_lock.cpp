#include "driver/work_folder_lock.h"

#include "driver/report.h"
#include "platform/file.h"

namespace lexbuild {

WorkFolderLock::WorkFolderLock(const Settings& settings) {
  const std::string& folder = settings.work_folder;
  switch (lock_.lock(settings.work_path(kWorkFolderLockFile))) {
    case platform::FileLock::Result::kLocked:
      return;
    case platform::FileLock::Result::kBusy:
      report_fatal(
          "the work folder %s is in use by another lexbuild run; give each build its own TEMP "
          "folder, or run the builds one after another\n",
          folder.c_str());
    case platform::FileLock::Result::kFailed:
      report_fatal(
          "cannot create files in the work folder %s: %s; set TEMP to a folder you can "
          "write to\n",
          folder.c_str(), platform::error_text(lock_.error_code()).c_str());
  }
}

}  // namespace lexbuild
