#include "intake/csv_reader.h"

#include "driver/report.h"
#include "intake/csv_header.h"
#include "intake/csv_scanner.h"
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

std::string csv_out(BuildContext& context) {
  Settings& settings = context.settings;
  const std::string stage = context.temp_names.next("csv_out");
  read_header_directives(context);

  platform::OutputFile out;
  if (!out.create(stage, platform::FileMode::kText)) cannot_open(stage);
  platform::InputFile in;
  if (!in.open(settings.infile)) {
    out.close();
    platform::remove_file(stage);
    cannot_open(settings.infile);
  }

  std::string lines;
  lines.reserve(kFlushSize + 64);
  CsvScanner scanner(lines, context.console);
  platform::TextInput text(in);
  try {
    for (int c; (c = text.get()) >= 0;) {
      scanner.feed(static_cast<uint8_t>(c));
      if (lines.size() >= kFlushSize) {
        out.write(lines);
        lines.clear();
      }
    }
    if (in.failed()) scanner_fatal("input in flex scanner failed");
    scanner.finish();
  } catch (const FatalError&) {
    out.write(lines);  // the partly written stage file stays behind for the user to inspect
    out.close();
    throw;
  }
  out.write(lines);
  if (!out.close()) {
    report_fatal("could not write %s file: %s\n", stage.c_str(),
                 platform::error_text(out.error_code()).c_str());
  }
  settings.infile = stage;
  return stage;
}

}  // namespace lexbuild
