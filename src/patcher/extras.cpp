#include "patcher/extras.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "compiler/format.h"
#include "driver/report.h"
#include "patcher/database_image.h"
#include "patcher/extras_options.h"
#include "patcher/header_record_patch.h"
#include "platform/file.h"
#include "platform/file_access.h"

namespace lexbuild {
namespace {

// The pass's own failure texts, printed bare.
constexpr std::string_view kWrongCrc = "wrong CRC in file";
constexpr std::string_view kTextFontOpenFailure = "font_textHR file open failure.";
constexpr std::string_view kListFontOpenFailure = "font_listHR file open failure.";

constexpr size_t kReadChunk = 1 << 16;

std::vector<uint8_t> read_font(const FontChoice& font, std::string_view open_failure) {
  platform::InputFile file;
  if (!file.open(font.path)) report_fatal_plain(open_failure);
  std::vector<uint8_t> bytes;
  size_t got = 0;
  do {
    const size_t old_size = bytes.size();
    bytes.resize(old_size + kReadChunk);
    got = file.read(bytes.data() + old_size, kReadChunk);
    bytes.resize(old_size + got);
  } while (got == kReadChunk);
  if (file.failed()) {
    report_fatal("cannot read the font file %s: %s\n", font.path.c_str(),
                 platform::error_text(file.error_code()).c_str());
  }
  return bytes;
}

struct Fonts {
  std::vector<uint8_t> text;
  std::vector<uint8_t> list;
};

// Reads the fonts in the order their arguments came, so that the first bad
// one on the command line is the one reported.
Fonts read_fonts(const ExtrasOptions& options) {
  Fonts fonts;
  const auto read_text = [&] {
    if (options.text_font) fonts.text = read_font(*options.text_font, kTextFontOpenFailure);
  };
  const auto read_list = [&] {
    if (options.list_font) fonts.list = read_font(*options.list_font, kListFontOpenFailure);
  };
  if (options.list_font &&
      (!options.text_font || options.list_font->argument < options.text_font->argument)) {
    read_list();
    read_text();
  } else {
    read_text();
    read_list();
  }
  return fonts;
}

void replace_database(const std::string& database, std::span<const uint8_t> image) {
  platform::ReplacingOutput output;
  if (!output.create(database)) {
    report_fatal("could not rewrite %s: %s; the database is left as it was\n", database.c_str(),
                 platform::error_text(output.error_code()).c_str());
  }
  // The new version keeps the permissions the user gave the old one.
  platform::copy_file_mode(database, output.temp_path());
  output.file().write(image);
  if (!output.commit()) {
    report_fatal("could not rewrite %s: %s; the database is left as it was\n", database.c_str(),
                 platform::error_text(output.error_code()).c_str());
  }
}

// The first bytes of `database`, enough for find_header_record() to give
// the answer it gives for the whole file of `file_size` bytes.
std::vector<uint8_t> read_header_part(const std::string& database, uint64_t file_size) {
  platform::InputFile file;
  if (!file.open(database)) report_fatal_plain(kDatabaseOpenFailure);
  std::vector<uint8_t> image;
  for (;;) {
    const size_t want =
        static_cast<size_t>(std::min<uint64_t>(header_record_reach(image), file_size));
    if (want <= image.size()) return image;
    const size_t old_size = image.size();
    image.resize(want);
    const size_t got = file.read(image.data() + old_size, want - old_size);
    image.resize(old_size + got);
    if (file.failed()) {
      report_fatal("cannot read %s: %s\n", database.c_str(),
                   platform::error_text(file.error_code()).c_str());
    }
    if (got < want - old_size) return image;  // the file is shorter than it was
  }
}

// Whether the header record would change. Without fonts to add nothing
// else can: a large database is then not read whole only to be left as it was.
bool header_record_changes(const std::string& database, const HeaderRecordPatch& patch) {
  const std::optional<uint64_t> file_size = platform::file_size(database);
  if (!file_size) report_fatal_plain(kDatabaseOpenFailure);
  std::vector<uint8_t> part = read_header_part(database, *file_size);
  const std::optional<size_t> record0 = find_header_record(part, *file_size);
  if (!record0) report_fatal_plain(kWrongCrc);
  const std::span<uint8_t> header_record =
      std::span(part).subspan(*record0, format::kHeaderRecordSize);
  if (!header_record_intact(header_record)) report_fatal_plain(kWrongCrc);
  const std::vector<uint8_t> old_header_record(header_record.begin(), header_record.end());
  patch_header_record(header_record, patch);
  return !std::ranges::equal(header_record, old_header_record);
}

}  // namespace

void apply_extras(const std::vector<std::string>& args, const std::string& database,
                  BuildContext& /*context*/) {
  if (args.size() <= 1) return;  // no options at all: the file is not even opened

  // Check, read and verify everything first: nothing is written before the
  // whole new version exists in memory.
  if (!platform::file_updatable(database)) report_fatal_plain(kDatabaseOpenFailure);
  const ExtrasOptions options = read_extras_options(args);
  if (!options.text_font && !options.list_font &&
      !header_record_changes(database,
                             HeaderRecordPatch{options.pictures_db, options.allow_html, {}, {}})) {
    return;
  }

  std::vector<uint8_t> image;
  int error = 0;
  if (!platform::read_file(database, image, &error)) {
    report_fatal("cannot read %s: %s\n", database.c_str(), platform::error_text(error).c_str());
  }
  const std::optional<size_t> record0 = find_header_record(image);
  if (!record0) report_fatal_plain(kWrongCrc);
  const std::span<uint8_t> header_record =
      std::span(image).subspan(*record0, format::kHeaderRecordSize);
  if (!header_record_intact(header_record)) report_fatal_plain(kWrongCrc);

  const Fonts fonts = read_fonts(options);

  const uint16_t count = record_count(image);
  const size_t new_records = (options.text_font ? 1 : 0) + (options.list_font ? 1 : 0);
  if (count + new_records > format::kMaxRecordCount) {
    report_fatal(
        "%s already holds %u records and cannot take the %zu font record%s: a database "
        "holds at most %zu records\n",
        database.c_str(), static_cast<unsigned>(count), new_records, new_records == 1 ? "" : "s",
        format::kMaxRecordCount);
  }
  if (!can_grow(image, new_records, fonts.text.size() + fonts.list.size())) {
    report_fatal("%s would grow past 4 GiB with the font files, more than a database can hold\n",
                 database.c_str());
  }

  // The text font is always appended first, whatever the order of the options.
  HeaderRecordPatch patch{options.pictures_db, options.allow_html, {}, {}};
  uint16_t next_record = count;
  if (options.text_font) patch.text_font_record = next_record++;
  if (options.list_font) patch.list_font_record = next_record;

  const std::vector<uint8_t> old_header_record(header_record.begin(), header_record.end());
  patch_header_record(header_record, patch);
  if (new_records == 0 && std::ranges::equal(header_record, old_header_record)) return;

  if (options.text_font) append_font_record(image, fonts.text);
  if (options.list_font) append_font_record(image, fonts.list);
  replace_database(database, image);
}

}  // namespace lexbuild
