// Arbitrary command lines through both passes over the options: the first
// pass that fills the settings and the post-build pass that reads the
// extras. The input is the arguments, separated by zero bytes. The first pass
// either refuses the line with status 1 or leaves every setting within its
// capacity and every number within its range; the post-build pass accepts
// anything, and a font it takes has a name.
#include <cstdint>
#include <string>
#include <vector>

#include "driver/console.h"
#include "driver/report.h"
#include "driver/settings.h"
#include "fuzz_support.h"
#include "main/options.h"
#include "main/run_sequence.h"
#include "patcher/extras_options.h"

using namespace lexbuild;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args = {"lexbuild"};
  std::string argument;
  for (size_t i = 0; i < size && args.size() < 16; ++i) {
    if (data[i] == 0) {
      args.push_back(argument);
      argument.clear();
    } else {
      argument.push_back(static_cast<char>(data[i]));
    }
  }
  if (!argument.empty()) args.push_back(argument);

  const ExtrasOptions extras = read_extras_options(args);
  if (extras.text_font) FUZZ_CHECK(!extras.text_font->path.empty());
  if (extras.list_font) FUZZ_CHECK(!extras.list_font->path.empty());

  Settings settings = init_settings_with_work_folder(fuzz::scratch_folder());
  StringConsole console;
  bool build = false;
  try {
    build = parse_options(args, settings, console);
  } catch (const FatalError& e) {
    FUZZ_CHECK(e.exit_status() == 1 && e.output().starts_with("lexbuild error: "));
    return 0;
  }
  if (!build) return 0;
  for (const std::string* text : {&settings.infile, &settings.outfile, &settings.id,
                                  &settings.source_format, &settings.source_language}) {
    FUZZ_CHECK(text->size() < kShortSettingCapacity);
  }
  for (const std::string* path :
       {&settings.abbrfile, &settings.aboutfile, &settings.fontfile, &settings.kbdfile}) {
    FUZZ_CHECK(!path->empty() && path->size() < kPathSettingCapacity);
  }
  FUZZ_CHECK(!settings.infile.empty() && !settings.id.empty());
  FUZZ_CHECK(settings.unicode == 0 || settings.unicode == 1);
  FUZZ_CHECK(settings.to_unicode >= 0 && settings.to_unicode <= 3);
  FUZZ_CHECK(settings.to_unicode == 0 || settings.unicode == 1);
  FUZZ_CHECK(settings.largefont == 0 || settings.largefont == 1);
  FUZZ_CHECK(settings.cutlong == 0 || settings.cutlong == 1);
  derive_outfile(settings);
  FUZZ_CHECK(!settings.outfile.empty() && settings.outfile.size() < kShortSettingCapacity);
  return 0;
}
