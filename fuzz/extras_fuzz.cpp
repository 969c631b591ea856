// Arbitrary bytes as a finished database, through the post-build pass.
//
// In memory: finding record 0, patching it and appending a record must stay
// inside the image, and a database that was accepted must still be accepted,
// one record longer, after the append.
//
// On a file, as a build runs it: apply_extras with a pictures database name,
// an HTML flag and both fonts either refuses the file with a message and
// leaves it exactly as it was, or leaves a database whose header record is
// intact, two records longer, with every old record's bytes unchanged and the
// fonts at its end. No temporary file is left either way.
//
// Seed the corpus with databases (the fuzzer rarely builds a consistent
// record list alone).
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "compiler/byte_order.h"
#include "compiler/format.h"
#include "driver/build_context.h"
#include "driver/console.h"
#include "driver/log.h"
#include "driver/report.h"
#include "driver/settings.h"
#include "fuzz_support.h"
#include "patcher/database_image.h"
#include "patcher/extras.h"
#include "patcher/header_record_patch.h"
#include "platform/file.h"

using namespace lexbuild;

namespace {

const std::vector<uint8_t> kTextFont = {1, 2, 3};
const std::vector<uint8_t> kListFont = {4, 5, 6, 7, 8};

void in_memory(std::span<const uint8_t> data) {
  std::vector<uint8_t> image(data.begin(), data.end());
  const auto record0 = find_header_record(image);
  if (!record0) return;
  const auto header_record = std::span(image).subspan(*record0, format::kHeaderRecordSize);
  header_record_intact(header_record);
  patch_header_record(header_record, {"pictures", -1, 1, 2});
  FUZZ_CHECK(header_record_intact(header_record));

  if (!can_grow(image, 1, kTextFont.size())) return;
  const size_t old_size = image.size();
  const uint16_t old_count = record_count(image);
  append_font_record(image, kTextFont);
  FUZZ_CHECK(image.size() == old_size + 8 + kTextFont.size() &&
             record_count(image) == old_count + 1 && find_header_record(image) == *record0 + 8);
}

void on_file(std::span<const uint8_t> data) {
  fuzz::clear_scratch_folder();
  const std::string database = fuzz::scratch_path("dictionary.pdb");
  const std::string text_font = fuzz::scratch_path("text.fnt");
  const std::string list_font = fuzz::scratch_path("list.fnt");
  FUZZ_CHECK(platform::write_file(database, data));
  FUZZ_CHECK(platform::write_file(text_font, kTextFont));
  FUZZ_CHECK(platform::write_file(list_font, kListFont));

  Settings settings = init_settings_with_work_folder(fuzz::scratch_folder());
  StringConsole console;
  Log log;
  BuildContext context(settings, console, log);
  const std::vector<std::string> args = {"lexbuild", "--font_listHR=" + list_font,
                                         "--pictures_db=pictures", "--allow_html=-1",
                                         "--font_textHR=" + text_font};
  bool refused = false;
  try {
    apply_extras(args, database, context);
  } catch (const FatalError& e) {
    FUZZ_CHECK(e.exit_status() == 1 && !e.output().empty());
    refused = true;
  }
  FUZZ_CHECK(platform::list_matching(fuzz::scratch_folder(), "*").size() == 3);
  std::vector<uint8_t> after;
  FUZZ_CHECK(platform::read_file(database, after));
  if (refused) {
    FUZZ_CHECK(std::equal(after.begin(), after.end(), data.begin(), data.end()));
    return;
  }

  const uint16_t count = record_count(data);
  const size_t list_end = format::kDbHeaderSize + size_t{count} * format::kRecordEntrySize;
  FUZZ_CHECK(after.size() == data.size() + 16 + kTextFont.size() + kListFont.size());
  FUZZ_CHECK(record_count(after) == count + 2);
  const auto record0 = find_header_record(after);
  FUZZ_CHECK(record0.has_value());
  FUZZ_CHECK(header_record_intact(std::span(after).subspan(*record0, format::kHeaderRecordSize)));
  FUZZ_CHECK(get_be16(after.data() + *record0 + format::kTextFontHrRecordOffset) == count);
  FUZZ_CHECK(get_be16(after.data() + *record0 + format::kListFontHrRecordOffset) == count + 1);
  // Everything after the old record list moved 16 bytes on; only record 0 changed.
  for (size_t k = list_end; k < data.size(); ++k) {
    const size_t moved = k + 16;
    if (moved >= *record0 && moved < *record0 + format::kHeaderRecordSize) continue;
    FUZZ_CHECK(after[moved] == data[k]);
  }
  FUZZ_CHECK(std::equal(kListFont.begin(), kListFont.end(), after.end() - kListFont.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> image(data, size);
  in_memory(image);
  on_file(image);
  return 0;
}
