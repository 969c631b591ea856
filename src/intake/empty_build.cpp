#include "intake/empty_build.h"

#include <algorithm>
#include <string>
#include <vector>

#include "driver/report.h"
#include "platform/file.h"

namespace lexbuild {
namespace {

// Enough of the source to tell 16-bit text from 8-bit text.
constexpr size_t kSampleSize = size_t{1} << 16;

struct SourceSample {
  std::vector<uint8_t> bytes;
  uint64_t size = 0;
};

SourceSample read_sample(const std::string& path) {
  SourceSample sample;
  platform::InputFile file;
  if (!file.open(path)) return sample;
  sample.bytes.resize(kSampleSize);
  sample.bytes.resize(file.read(sample.bytes.data(), sample.bytes.size()));
  sample.size = platform::file_size(path).value_or(sample.bytes.size());
  return sample;
}

// UTF-16 text: a byte-order mark, or zero bytes in many of the high bytes
// of its units (every ASCII character has one).
bool looks_16bit(const std::vector<uint8_t>& bytes) {
  if (bytes.size() >= 2 &&
      ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
    return true;
  }
  size_t zeros = 0;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    if (bytes[i] == 0 || bytes[i + 1] == 0) ++zeros;
  }
  return bytes.size() >= 2 && zeros * 4 >= bytes.size() / 2;
}

bool holds_tab(const std::vector<uint8_t>& bytes) {
  return std::find(bytes.begin(), bytes.end(), uint8_t{'\t'}) != bytes.end();
}

// What the source looks like and the option to change.
const char* diagnosis(const Settings& settings, const SourceSample& sample) {
  const bool sixteen_bit = looks_16bit(sample.bytes);
  const bool csv = settings.source_format != ".tab";
  if (sixteen_bit && settings.unicode == 0) {
    return "it looks like 16-bit Unicode (UTF-16) text, which is read as 8-bit text without "
           "--unicode=1; give --unicode=1 and --source_format=tab";
  }
  if (sixteen_bit && csv) {
    return "it looks like 16-bit Unicode (UTF-16) text, and the CSV reader reads 8-bit text "
           "only; for a 16-bit TAB list give --source_format=tab";
  }
  if (!sixteen_bit && settings.unicode != 0 && settings.to_unicode == 0) {
    return "it looks like 8-bit text, which --unicode=1 reads as 16-bit Unicode (UTF-16); "
           "leave --unicode=1 out, or give --to_unicode=1 to convert it";
  }
  if (!csv && !holds_tab(sample.bytes)) {
    return "read as a TAB list, no line holds a TAB between a word and its definition; for a "
           "comma-separated list leave --source_format=tab out";
  }
  if (csv && holds_tab(sample.bytes)) {
    return "read as CSV, no line is a record, yet the source holds TABs; for a TAB list give "
           "--source_format=tab";
  }
  return "no line holds a word and a definition; check --source_format=, --unicode= and "
         "--to_unicode=";
}

}  // namespace

void check_some_entry(const BuildContext& context, CurrentList& list) {
  const SourceSample sample = read_sample(context.source_file);
  if (sample.size == 0) return;
  list.remove();
  report_fatal("%s gave no entry (%llu bytes read): %s\n",
               source_name_for_messages(context).c_str(),
               static_cast<unsigned long long>(sample.size), diagnosis(context.settings, sample));
}

}  // namespace lexbuild
