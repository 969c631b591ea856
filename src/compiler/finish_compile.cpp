#include "compiler/finish_compile.h"

#include <utility>

#include "compiler/auxiliary_records.h"
#include "compiler/chunking.h"
#include "compiler/database.h"
#include "compiler/header_record.h"
#include "compiler/record_packing.h"

namespace lexbuild {

void finish_compile(BuildContext& context, CompilerState& state) {
  Console& console = context.console;
  console.print("\n");  // ends the "word parsing" progress line
  console.print("%s\n", "Creating word table...");
  state.word_table = build_word_table(state.stores, context.lower_case, console);
  write_table_dump(context, state.word_table);
  PackedChunks words = cut_word_chunks(context, state.stores);

  console.print("%s\n", "Preparing data...");
  PackedChunks translations = cut_translation_chunks(context, state.stores);
  // The packed records hold all the text from here on; only the count is
  // needed. Swapping with empty vectors gives their memory back.
  std::vector<uint8_t>().swap(state.stores.words);
  std::vector<uint8_t>().swap(state.stores.translations);
  std::vector<uint32_t>().swap(state.stores.word_offsets);

  const uint32_t entries = state.stores.entry_count;
  // Without --debug the chunk records never reach the disk: hundreds of
  // files written, read back and deleted would cost more than the build's
  // own work. With it they are left in the work folder for diagnosis.
  HeldRecords held;
  HeldRecords* const hold = context.settings.debug ? nullptr : &held;
  console.print("%s\n", "Compressing data...");
  state.words_records = pack_records(context, state.word_table, std::move(words), entries, hold);

  console.print("%s\n", "Writing file...");
  state.trans_records =
      pack_records(context, state.word_table, std::move(translations), entries, hold);

  // Only now do the nodes know their records and slots.
  write_table_record(context, state.word_table);

  write_about_record(context, state.present);
  write_abbr_record(context, state.present);
  copy_font_words_record(context, state.present);
  copy_font_trans_record(context, state.present);
  copy_kbd_record(context, state.present);

  // The header record needs W, T and the presence flags.
  write_header_record(context, state);

  assemble_database(context, hold);
}

}  // namespace lexbuild
