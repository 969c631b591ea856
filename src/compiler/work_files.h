// The record files that the compiler's stages leave in the work folder for
// the database assembly, and the helpers that write and clear them.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "driver/log.h"
#include "driver/settings.h"

namespace lexbuild {

// Record files, in the order in which the database receives them. The
// chunk records carry their number within their kind in six digits, so
// ascending names are ascending record numbers.
inline constexpr char kHeaderRecordFile[] = "rec_0.bin";
inline constexpr char kTableRecordFile[] = "rec_tab.bin";
inline constexpr char kWordsIndexFile[] = "rec_indW.bin";
inline constexpr char kTransIndexFile[] = "rec_indT.bin";
inline constexpr char kWordsRecordPattern[] = "rec_words_*.bin";
inline constexpr char kTransRecordPattern[] = "rec_trans_*.bin";
inline constexpr char kAboutRecordFile[] = "rec_about.bin";
inline constexpr char kAbbrRecordFile[] = "rec_abbr.bin";
inline constexpr char kFontWordsRecordFile[] = "rec_fntWords.bin";
inline constexpr char kFontTransRecordFile[] = "rec_fntTrans.bin";
inline constexpr char kKbdRecordFile[] = "rec_kbd.bin";

// The trace files that a build leaves in the work folder.
inline constexpr char kFilterTraceFile[] = "_filter.txt";
inline constexpr char kTableDumpFile[] = "_tableDebug.txt";

/// Creates or replaces the work-folder file `name` with `bytes`. Fatal when
/// it cannot be written whole: a missing record would shift every record
/// after it in the database.
void write_work_file(const Settings& settings, std::string_view name,
                     std::span<const uint8_t> bytes);

/// Whether `name` is a record file or a chunk file that this program writes
/// (rec_0.bin ... rec_kbd.bin, rec_words_NNNNNN.bin, words_NNNNNN_NNNNN.bin
/// and the same for trans).
bool is_compiler_work_file(std::string_view name);

/// Whether `name` is a scratch file of the compiler in the work folder
/// ("1.bin", "2.bin"), which no build leaves behind.
bool is_scratch_work_file(const char* name);

/// Whether `name` is a compiler work file or a scratch file: the files of
/// the work folder that the build holding its lock may delete.
bool is_build_work_file(const char* name);

/// Whether `name` is a build work file or a trace file: what the build that
/// takes the work folder's lock clears before it needs the room, since it
/// writes its own trace files anew.
bool is_leftover_work_file(const char* name);

/// Deletes the record and chunk files that an earlier run left in the work
/// folder (a run with --debug keeps them, a failed run leaves them), so that
/// the database receives only this run's records. Fatal when one cannot be
/// deleted.
void remove_stale_work_files(const Settings& settings, Log& log);

}  // namespace lexbuild
