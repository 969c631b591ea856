#include "compiler/work_files.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "compiler/chunk_files.h"
#include "driver/report.h"
#include "platform/file.h"

namespace lexbuild {
namespace {

constexpr std::string_view kFixedNames[] = {
    kHeaderRecordFile,    kTableRecordFile,     kWordsIndexFile,
    kTransIndexFile,      kAboutRecordFile,     kAbbrRecordFile,
    kFontWordsRecordFile, kFontTransRecordFile, kKbdRecordFile,
};

// Name shapes in which '#' stands for one decimal digit.
constexpr std::string_view kNumberedShapes[] = {
    "rec_words_######.bin",
    "rec_trans_######.bin",
    "words_######_#####.bin",
    "trans_######_#####.bin",
};

bool has_shape(std::string_view name, std::string_view shape) {
  if (name.size() != shape.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const bool matches = shape[i] == '#' ? name[i] >= '0' && name[i] <= '9' : name[i] == shape[i];
    if (!matches) return false;
  }
  return true;
}

}  // namespace

void write_work_file(const Settings& settings, std::string_view name,
                     std::span<const uint8_t> bytes) {
  const std::string path = settings.work_path(std::string(name));
  int error = 0;
  if (!platform::write_file(path, bytes, &error)) {
    platform::remove_file(path);  // a partial record is of no use
    report_fatal("could not write the work file '%s': %s; check the work folder\n", path.c_str(),
                 platform::error_text(error).c_str());
  }
}

bool is_compiler_work_file(std::string_view name) {
  return std::ranges::find(kFixedNames, name) != std::end(kFixedNames) ||
         std::ranges::any_of(kNumberedShapes,
                             [name](std::string_view shape) { return has_shape(name, shape); });
}

bool is_scratch_work_file(const char* name) {
  const std::string_view n = name;
  return n == "1.bin" || n == kCompressedScratchFile;
}

bool is_build_work_file(const char* name) {
  return is_scratch_work_file(name) || is_compiler_work_file(name);
}

bool is_leftover_work_file(const char* name) {
  const std::string_view n = name;
  return is_build_work_file(name) || n == kFilterTraceFile || n == kTableDumpFile;
}

void remove_stale_work_files(const Settings& settings, Log& log) {
  for (const std::string& name : platform::list_matching(settings.work_folder, "*.bin")) {
    if (!is_compiler_work_file(name)) continue;
    const std::string path = settings.work_path(name);
    if (!platform::remove_file(path) && platform::file_exists(path)) {
      report_fatal(
          "could not delete '%s', left in the work folder by an earlier run; delete it and "
          "build again\n",
          path.c_str());
    }
    log.write_log("Removal of %s file left by an earlier run\n", name.c_str());
  }
}

}  // namespace lexbuild
