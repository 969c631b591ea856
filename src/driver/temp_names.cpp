#include "driver/temp_names.h"

#include "driver/report.h"
#include "platform/env.h"
#include "platform/file.h"

namespace lexbuild {
namespace {

// A temporary path holds at most 260 characters: the folder, the prefix and
// up to 12 more for the separator and the number.
constexpr size_t kMaxTempPath = 260;
constexpr size_t kNumberRoom = 12;

}  // namespace

std::string TempNames::folder() const {
  if (auto tmp = platform::get_env("TMP")) {
    std::string value = *tmp;
    std::erase(value, '"');
    if (!value.empty() && platform::folder_exists(value)) return value;
  }
  if (platform::folder_exists(work_folder_)) return work_folder_;
  if (platform::folder_exists("/")) return "/";
  return ".";
}

std::string TempNames::next(std::string_view prefix) {
  const std::string dir = folder();
  if (dir.size() + prefix.size() + kNumberRoom > kMaxTempPath) {
    report_fatal("could not form a temporary file name in %s: the path is too long\n", dir.c_str());
  }
  for (;; ++counter_) {
    std::string path = platform::path_join(dir, std::string(prefix) + std::to_string(counter_));
    if (!platform::file_exists(path)) {
      ++counter_;
      return path;
    }
    if (counter_ == 0xFFFFFFFFul) {
      report_fatal("could not form a temporary file name in %s: no free number is left\n",
                   dir.c_str());
    }
  }
}

}  // namespace lexbuild
