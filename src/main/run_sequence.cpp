#include "main/run_sequence.h"

#include <array>

#include "compiler/auxiliary_records.h"
#include "compiler/compile.h"
#include "compiler/work_files.h"
#include "driver/build_files.h"
#include "driver/report.h"
#include "driver/timing.h"
#include "driver/work_folder_lock.h"
#include "intake/intake.h"
#include "intake/source_copy.h"
#include "main/options.h"
#include "main/output_guard.h"
#include "patcher/extras.h"
#include "platform/clock.h"
#include "platform/file.h"

namespace lexbuild {
namespace {

using IntakeRoutine = int (*)(BuildContext&);

// Index 0: comma-separated sources; index 1: tab-separated ones.
constexpr std::array<IntakeRoutine, 2> kIntakeTable = {csv_intake, tab_intake};

// How far into the source the format detection looks for a TAB.
constexpr int kFormatProbeLength = 49;

}  // namespace

void detect_source_format(Settings& settings) {
  platform::InputFile file;
  if (!file.open(settings.infile)) return;  // the intake reports the missing file
  platform::TextInput text(file);
  for (int i = 0; i < kFormatProbeLength; ++i) {
    const int c = text.get();
    if (c <= 0) break;  // end of input, or the zero byte that ends the probe
    if (c == '\t') {
      settings.source_format = ".tab";
      break;
    }
  }
}

void derive_outfile(Settings& settings) {
  if (settings.outfile == "none.pdb") settings.outfile = settings.id + ".pdb";
}

int intake_index(const Settings& settings) {
  if (settings.source_format == ".csv") return 0;
  if (settings.source_format == ".tab") return 1;
  report_fatal("undefined source format\n");
}

int run_lexbuild(const std::vector<std::string>& args, Console& console) {
  console.write(kBanner);
  console.write("\n");

  const platform::Timestamp start = platform::now();
  Settings settings = init_settings();
  if (!parse_options(args, settings, console)) return 0;

  Log log;
  if (settings.debug) log.open_log("lexbuild.log");  // the build goes on without a log

  if (!platform::folder_exists(settings.work_folder)) {
    report_fatal(platform::file_exists(settings.work_folder)
                     ? "work folder %s is not a folder; set TEMP to an existing folder\n"
                     : "work folder %s does not exist; set TEMP to an existing folder\n",
                 settings.work_folder.c_str());
  }
  // Taken before the source is first opened: a source that is slow to read
  // must not let a second build into the folder meanwhile.
  // cppcheck-suppress unreadVariable ; held for its lifetime
  const WorkFolderLock lock(settings);
  // What killed or failed builds left in the folder, and the trace files of
  // an earlier build, before this one needs room.
  clear_leftovers(settings, log, is_leftover_work_file);

  BuildContext context(settings, console, log);
  context.files.start(settings, is_build_work_file, is_scratch_work_file);
  derive_outfile(settings);
  // Everything the user named is checked before the work starts, and before
  // a piped source is taken in.
  check_named_side_files(settings);
  OutputGuard output(settings, args);

  // A pipe read by the format detection would be missing that much later.
  // cppcheck-suppress unreadVariable ; held for its lifetime
  const SourceCopy source_copy(context);
  detect_source_format(settings);
  const int index = intake_index(settings);

  kIntakeTable[index](context);
  apply_extras(args, settings.outfile, context);
  context.files.finish();
  output.commit();
  report_text_changes(console, context.changes, settings.unicode);

  const platform::Timestamp end = platform::now();
  print_timing(console, start, end);
  if (settings.debug) log.close_log();
  return 0;
}

}  // namespace lexbuild
