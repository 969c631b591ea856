// Arbitrary bytes as a database: finding record 0, patching it and appending
// a record must stay inside the image, and a database that was accepted must
// still be accepted, one record longer, after the append. Seed the corpus with
// any database (the fuzzer rarely builds a consistent record list alone).
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "compiler/format.h"
#include "patcher/database_image.h"
#include "patcher/header_record_patch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lexbuild;
  std::vector<uint8_t> image(data, data + size);
  const auto record0 = find_header_record(image);
  if (!record0) return 0;
  const auto header_record = std::span(image).subspan(*record0, format::kHeaderRecordSize);
  header_record_intact(header_record);
  patch_header_record(header_record, {"pictures", -1, 1, 2});
  if (!header_record_intact(header_record)) std::abort();

  const uint8_t font[] = {1, 2, 3};
  if (!can_grow(image, 1, sizeof font)) return 0;
  const size_t old_size = image.size();
  const uint16_t old_count = record_count(image);
  append_font_record(image, font);
  if (image.size() != old_size + 8 + sizeof font || record_count(image) != old_count + 1 ||
      find_header_record(image) != *record0 + 8) {
    std::abort();
  }
  return 0;
}
