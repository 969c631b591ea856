#include "intake/current_list.h"

#include <cerrno>

#include "driver/report.h"

namespace lexbuild {

namespace {

void remove_stage_file(BuildFiles* files, const std::string& path) {
  if (files) {
    files->remove(path);
  } else {
    platform::remove_file(path);
  }
}

}  // namespace

void CurrentList::replace(const std::string& stage_path) {
  held_.reset();
  if (is_stage_file_) remove_stage_file(files_, path_);
  path_ = stage_path;
  is_stage_file_ = true;
  settings_.infile = stage_path;
}

void CurrentList::remove() {
  held_.reset();
  // Once only: another build may take the name as soon as it is free.
  if (is_stage_file_) remove_stage_file(files_, path_);
  is_stage_file_ = false;
}

std::optional<std::vector<uint8_t>> CurrentList::take_held() {
  std::optional<std::vector<uint8_t>> contents = std::move(held_);
  held_.reset();
  return contents;
}

StageFile::StageFile(BuildContext& context, std::string_view prefix, platform::FileMode mode)
    : files_(context.files) {
  for (;;) {
    path_ = context.temp_names.next(prefix);
    if (files_.create_new(file_, path_, mode)) return;
    if (file_.error_code() != EEXIST) break;
  }
  report_fatal(
      "could not create file %s: %s; set TMP to a folder with room that you can write "
      "to\n",
      path_.c_str(), platform::error_text(file_.error_code()).c_str());
}

void StageFile::close() {
  if (!file_.close()) {
    files_.remove(path_);
    report_fatal(
        "could not write file %s: %s; make room in that folder, or set TMP to another "
        "one\n",
        path_.c_str(), platform::error_text(file_.error_code()).c_str());
  }
}

void StageFile::discard() {
  file_.close();
  files_.remove(path_);
}

void open_list(platform::InputFile& file, const std::string& path) {
  if (!file.open(path)) report_fatal("'%s' no such input file\n", path.c_str());
}

void check_read(const platform::InputFile& file, const std::string& path) {
  if (file.failed()) {
    report_fatal("could not read file %s: %s\n", path.c_str(),
                 platform::error_text(file.error_code()).c_str());
  }
}

}  // namespace lexbuild
