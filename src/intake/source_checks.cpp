#include "intake/source_checks.h"

#include <algorithm>
#include <vector>

#include "driver/report.h"
#include "intake/byte_search.h"
#include "intake/utf8_source.h"
#include "platform/file.h"

namespace lexbuild {
namespace {

constexpr uint8_t kEndOfText = 0x1A;
constexpr size_t kBlock = size_t{1} << 16;

void warn_early_end_of_text(BuildContext& context) {
  const Settings& settings = context.settings;
  if (settings.source_format == ".tab" && settings.unicode != 0 && settings.to_unicode == 0) return;
  platform::InputFile file;
  if (!file.open(context.source_file)) return;  // the chain reports it

  std::vector<uint8_t> block(kBlock);
  uint64_t line = 1;
  for (size_t n; (n = file.read(block.data(), block.size())) > 0;) {
    const uint8_t* const begin = block.data();
    const uint8_t* const end = begin + n;
    const uint8_t* const stop = find_byte(begin, end, kEndOfText);
    line += count_byte(begin, stop, uint8_t{'\n'});
    if (stop == end) continue;

    uint64_t rest = static_cast<uint64_t>(end - stop) - 1;
    while ((n = file.read(block.data(), block.size())) > 0) rest += n;
    if (rest == 0) return;  // a last byte 0x1A, as old editors end a file, loses nothing
    report_warning(context.console,
                   "%s: the byte 0x1A in line %llu ends the list there, as it ends a text "
                   "file; the %llu bytes after it are not read\n",
                   source_name_for_messages(context).c_str(), static_cast<unsigned long long>(line),
                   static_cast<unsigned long long>(rest));
    return;
  }
}

void warn_16bit_read_as_8bit(BuildContext& context) {
  if (context.settings.unicode != 0) return;
  platform::InputFile file;
  if (!file.open(context.source_file)) return;
  std::vector<uint8_t> start(kBlock);
  start.resize(file.read(start.data(), start.size()));
  if (!looks_16bit(start)) return;
  report_warning(context.console,
                 "%s looks like 16-bit Unicode (UTF-16) text, which is read as 8-bit text "
                 "without --unicode=1; give --unicode=1 and --source_format=tab\n",
                 source_name_for_messages(context).c_str());
}

// A UTF-16 list has a zero byte in every TAB and line end; a start without
// any zero byte and without a byte-order mark is 8-bit text, which read in
// 16-bit units gives words of paired bytes.
void warn_8bit_read_as_16bit(BuildContext& context) {
  const Settings& settings = context.settings;
  if (settings.source_format != ".tab" || settings.unicode == 0 || settings.to_unicode != 0 ||
      source_is_utf8(settings)) {
    return;
  }
  platform::InputFile file;
  if (!file.open(context.source_file)) return;
  std::vector<uint8_t> start(kBlock);
  start.resize(file.read(start.data(), start.size()));
  if (start.size() < 2 || looks_16bit(start)) return;
  if (std::find(start.begin(), start.end(), uint8_t{0}) != start.end()) return;
  report_warning(context.console,
                 "%s looks like 8-bit text, which is read as 16-bit Unicode (UTF-16) with "
                 "--unicode=1; give --unicode=0 (or --source_encoding=utf-8 for a UTF-8 list)\n",
                 source_name_for_messages(context).c_str());
}

}  // namespace

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

void warn_about_source(BuildContext& context) {
  warn_16bit_read_as_8bit(context);
  warn_8bit_read_as_16bit(context);
  warn_early_end_of_text(context);
}

}  // namespace lexbuild
