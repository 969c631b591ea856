#include "compiler/compile.h"

#include <span>
#include <vector>

#include "compiler/compiler_state.h"
#include "compiler/entry_parser.h"
#include "compiler/finish_compile.h"
#include "compiler/work_files.h"
#include "driver/report.h"
#include "platform/file.h"
#include "platform/memory.h"

namespace lexbuild {
namespace {

// Reads the list into the stores and traces its lines to "_filter.txt".
// The trace is only an aid: when it cannot be written the build goes on.
void parse_list_file(BuildContext& context, std::span<const uint8_t> data, TextStores& stores) {
  const Settings& settings = context.settings;
  const std::string trace_path = settings.work_path(kFilterTraceFile);
  platform::OutputFile trace;
  if (!trace.create(trace_path)) {
    context.log.write_log("Error: %s file wasn't created, %s\n", trace_path.c_str(),
                          platform::error_text(trace.error_code()).c_str());
  }

  // Messages name the user's source: the sorted list is a file of ours.
  EntryParser parser(settings.unicode != 0, context.console, stores,
                     source_name_for_messages(context), /*name_lines=*/false);
  parser.parse_list(data, [&trace](std::span<const uint8_t> line) {
    if (trace.is_open()) trace.write(line);
  });

  if (trace.is_open() && !trace.close()) {
    context.log.write_log("Error: %s file wasn't written, %s\n", trace_path.c_str(),
                          platform::error_text(trace.error_code()).c_str());
  }
  stores.close();
}

}  // namespace

void compile_dictionary(BuildContext& context) {
  CompilerState state;
  // Record files of an earlier run would be taken for this run's records.
  remove_stale_work_files(context.settings, context.log);

  std::vector<uint8_t> data;
  if (!platform::read_file(context.settings.infile, data)) {
    report_fatal("'%s' no such input file\n", context.settings.infile.c_str());
  }
  context.console.print("%s\n", "Parsing...");
  // The translations take nearly all of the list and never more than one
  // byte a line beyond it: room for them up front spares the copies and the
  // doubled capacity of a growing store, which would otherwise set the
  // build's peak memory. Pages never written cost no memory.
  platform::reserve_large_buffer(state.stores.translations, data.size() + 1);
  parse_list_file(context, data, state.stores);
  // The stores hold everything from here on. (Assigning {} would only empty
  // the vector and keep its memory.)
  std::vector<uint8_t>().swap(data);

  finish_compile(context, state);
}

}  // namespace lexbuild
