#include "intake/source_copy.h"

#include <vector>

#include "driver/report.h"
#include "intake/current_list.h"
#include "platform/file.h"

namespace lexbuild {
namespace {

constexpr size_t kCopyBlock = size_t{1} << 16;

const char* described(const std::string& name) {
  return name == kStandardInputName ? "standard input" : name.c_str();
}

}  // namespace

SourceCopy::SourceCopy(BuildContext& context) : files_(context.files) {
  Settings& settings = context.settings;
  const bool standard_input = settings.infile == kStandardInputName;
  if (!standard_input && !platform::readable_once(settings.infile)) return;

  platform::InputFile in;
  const bool opened = standard_input ? in.open_standard_input() : in.open(settings.infile);
  if (!opened) {
    report_fatal("could not read the source %s: %s\n", described(settings.infile),
                 platform::error_text(in.error_code()).c_str());
  }
  StageFile copy(context, "csv_in");
  path_ = copy.path();  // a signal deletes it with the build's other files
  try {
    std::vector<uint8_t> block(kCopyBlock);
    for (size_t n; (n = in.read(block.data(), block.size())) > 0;) {
      copy.out().write(block.data(), n);
    }
    if (in.failed()) {
      report_fatal("could not read the source %s: %s\n", described(settings.infile),
                   platform::error_text(in.error_code()).c_str());
    }
    copy.close();
  } catch (...) {
    copy.discard();
    throw;
  }
  settings.infile = path_;
  context.source_file = path_;
}

SourceCopy::~SourceCopy() {
  if (!path_.empty()) files_.remove(path_);
}

}  // namespace lexbuild
