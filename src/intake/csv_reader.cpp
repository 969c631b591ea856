#include "intake/csv_reader.h"

#include <array>

#include "driver/report.h"
#include "intake/csv_header.h"
#include "intake/csv_scanner.h"
#include "intake/current_list.h"
#include "platform/file.h"

namespace lexbuild {
namespace {

// The scanner's output is handed to the stage file in pieces of about this size.
constexpr size_t kFlushSize = 1 << 16;

[[noreturn]] void cannot_open(const std::string& path) {
  report_fatal("could not open %s file\nuse the '--help' option for usage information\n",
               path.c_str());
}

}  // namespace

std::string csv_out(BuildContext& context, Utf8LineConverter* utf8_directives,
                    Utf8LineConverter* utf8_entries) {
  Settings& settings = context.settings;
  read_header_directives(context, utf8_directives);

  StageFile stage(context, "csv_out", platform::FileMode::kText);
  platform::OutputFile& out = stage.out();
  platform::InputFile in;
  if (!in.open(settings.infile)) {
    stage.discard();
    cannot_open(settings.infile);
  }

  std::string lines;
  lines.reserve(kFlushSize + 64);
  CsvScanner scanner(lines, context.console);
  scanner.map_lines(&context.source_lines);
  bool syntax_error = false;  // rather than a UTF-8 list refused
  auto scan = [&](auto&& bytes) {
    try {
      for (const uint8_t byte : bytes) scanner.feed(byte);
    } catch (const FatalError&) {
      syntax_error = true;
      throw;
    }
    if (lines.size() >= kFlushSize) {
      out.write(lines);
      lines.clear();
    }
  };
  try {
    if (utf8_entries) {
      feed_utf8_as_code_page(in, *utf8_entries, scan);
    } else {
      platform::TextInput text(in);
      if (utf8_directives && starts_with_utf8_bom(settings.infile)) {
        for (int i = 0; i < 3; ++i) text.get();
      }
      for (int c; (c = text.get()) >= 0;) scan(std::array<uint8_t, 1>{static_cast<uint8_t>(c)});
    }
    if (in.failed()) scanner_fatal("input in flex scanner failed");
    syntax_error = true;
    scanner.finish();
  } catch (const FatalError&) {
    if (utf8_entries && !syntax_error) {
      stage.discard();  // a refused list leaves nothing behind
      throw;
    }
    out.write(lines);  // the partly written stage file stays behind for the user to inspect
    out.close();
    throw;
  }
  out.write(lines);
  stage.close();
  settings.infile = stage.path();
  return stage.path();
}

}  // namespace lexbuild
