#include "driver/settings.h"

#include "driver/report.h"
#include "platform/env.h"
#include "platform/file.h"

namespace lexbuild {

std::string Settings::work_path(const std::string& name) const {
  return platform::path_join(work_folder, name);
}

Settings init_settings_with_work_folder(const std::string& work_folder) {
  Settings settings;
  settings.work_folder = work_folder;
  settings.abbrfile = settings.work_path("_abbr.txt");
  settings.fontfile = settings.work_path("_fnt_trans.txt");
  settings.aboutfile = settings.work_path("_about.txt");
  settings.kbdfile = settings.work_path("_kbd.txt");
  return settings;
}

Settings init_settings() {
  // TEMP names the work folder. POSIX systems seldom set it, so TMPDIR and
  // then /tmp stand in; a value that does not fit the work folder is refused
  // like a missing one.
  std::string folder;
  if (auto temp = platform::get_env("TEMP"); temp && !temp->empty()) {
    folder = *temp;
  } else if (auto tmpdir = platform::get_env("TMPDIR"); tmpdir && !tmpdir->empty()) {
    folder = *tmpdir;
  } else {
    folder = "/tmp";
  }
  if (folder.size() >= kWorkFolderCapacity) report_fatal("Could not retrieve TEMP folder\n");
  return init_settings_with_work_folder(folder);
}

}  // namespace lexbuild
