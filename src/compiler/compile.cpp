#include "compiler/compile.h"

#include <algorithm>
#include <optional>
#include <span>
#include <string>

#include "compiler/compiler_state.h"
#include "compiler/entry_parser.h"
#include "compiler/finish_compile.h"
#include "compiler/format.h"
#include "compiler/work_files.h"
#include "driver/report.h"
#include "platform/file.h"
#include "platform/memory.h"

namespace lexbuild {
namespace {

// Reads the list into the stores and traces its lines to "_filter.txt".
// The trace is only an aid: when it cannot be written the build goes on.
void parse_list_file(BuildContext& context, platform::InputFile& list, TextStores& stores) {
  const Settings& settings = context.settings;
  // The translations take nearly all of the list and never more than one
  // byte a line beyond it: room for them up front spares the copies and the
  // doubled capacity of a growing store, which would otherwise set the
  // build's peak memory. Pages never written cost no memory.
  // The sort's buffer, when it is large enough, already has its memory. The
  // words take less than the list, and every entry takes a line of at least
  // four bytes (a word, a tab, a translation and a line end).
  const std::optional<uint64_t> size = platform::file_size(settings.infile);
  if (size && context.spare_buffer.capacity() > *size) {
    stores.translations = std::move(context.spare_buffer);
    stores.translations.clear();
  }
  std::vector<uint8_t>().swap(context.spare_buffer);  // one too small is given back
  if (size) {
    stores.translations.reserve(static_cast<size_t>(*size) + 1);
    stores.words.reserve(static_cast<size_t>(*size) + 1);
    stores.word_offsets.reserve(
        static_cast<size_t>(std::min<uint64_t>(*size / 4, format::kMaxEntries)) + 1);
  }

  const std::string trace_path = settings.work_path(kFilterTraceFile);
  platform::OutputFile trace;
  if (!trace.create(trace_path)) {
    context.log.write_log("Error: %s file wasn't created, %s\n", trace_path.c_str(),
                          platform::error_text(trace.error_code()).c_str());
  }

  // Messages name the user's source: the sorted list is a file of ours.
  EntryParser parser(settings.unicode != 0, context.console, stores,
                     source_name_for_messages(context), /*name_lines=*/false);
  // The list is read a block at a time: held whole beside the stores, it
  // would double the build's peak memory.
  const auto read = [&](std::span<uint8_t> block) {
    const size_t got = list.read(block.data(), block.size());
    if (list.failed()) report_fatal("'%s' no such input file\n", settings.infile.c_str());
    return got;
  };
  parser.parse_stream(read, [&trace](std::span<const uint8_t> line) {
    if (trace.is_open()) trace.write(line);
  });

  if (trace.is_open() && !trace.close()) {
    context.log.write_log("Error: %s file wasn't written, %s\n", trace_path.c_str(),
                          platform::error_text(trace.error_code()).c_str());
  }
  stores.close();
  // A store that took over the sort's buffer holds less than the list did.
  platform::release_unused_room(stores.translations);
}

}  // namespace

void compile_dictionary(BuildContext& context) {
  CompilerState state;
  // Record files of an earlier run would be taken for this run's records.
  remove_stale_work_files(context.settings, context.log);

  platform::InputFile list;
  if (!list.open(context.settings.infile)) {
    report_fatal("'%s' no such input file\n", context.settings.infile.c_str());
  }
  context.console.print("%s\n", "Parsing...");
  parse_list_file(context, list, state.stores);
  list.close();  // Windows deletes no file that is held open

  finish_compile(context, state);
}

}  // namespace lexbuild
