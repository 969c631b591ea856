#include "intake/end_of_text.h"

#include <algorithm>
#include <vector>

#include "driver/report.h"
#include "platform/file.h"

namespace lexbuild {
namespace {

constexpr uint8_t kEndOfText = 0x1A;
constexpr size_t kBlock = size_t{1} << 16;

}  // namespace

void warn_early_end_of_text(BuildContext& context) {
  const Settings& settings = context.settings;
  if (settings.source_format == ".tab" && settings.unicode != 0 && settings.to_unicode == 0) return;
  platform::InputFile file;
  if (!file.open(context.source_file)) return;  // the chain reports it

  std::vector<uint8_t> block(kBlock);
  uint64_t line = 1;
  for (size_t n; (n = file.read(block.data(), block.size())) > 0;) {
    const auto begin = block.begin();
    const auto end = begin + static_cast<ptrdiff_t>(n);
    const auto stop = std::find(begin, end, kEndOfText);
    line += static_cast<uint64_t>(std::count(begin, stop, uint8_t{'\n'}));
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

}  // namespace lexbuild
