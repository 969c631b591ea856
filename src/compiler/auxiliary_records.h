// The optional records: about text, abbreviations, the two fonts and the
// keyboard. Each routine turns its source file, when it exists, into its
// record file in the work folder and raises its presence flag; a missing
// default source file means the record is absent, while one the command
// line named is an error: the user asked for that record.
//
//   about, abbreviations:        the file's bytes with every CR LF pair
//                                turned into LF, then one zero byte
//   fonts, keyboard:             the file's bytes unchanged
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "compiler/compiler_state.h"
#include "driver/build_context.h"

namespace lexbuild {

/// Compacts `bytes` in place, turning every CR LF pair into one LF (a lone
/// CR, the last byte included, stays), and returns the new length.
size_t crlf_to_lf(std::span<uint8_t> bytes);

/// Fatal, naming the file and its option, when a side file that the command
/// line names (--aboutfile=, --abbrfile=, --fontfile=, --kbdfile=) cannot be
/// opened: checked before the build starts, so that no work is wasted.
void check_named_side_files(const Settings& settings);

// Each is fatal when its source file exists but cannot be read, when the
// command line named it and it is missing, or when it is too large for a
// record (65,535 bytes at most, the zero byte of a text included).

/// settings.aboutfile into "rec_about.bin".
void write_about_record(const BuildContext& context, PresenceFlags& present);
/// settings.abbrfile into "rec_abbr.bin".
void write_abbr_record(const BuildContext& context, PresenceFlags& present);
/// "_fntWords.txt" of the work folder copied into "rec_fntWords.bin".
void copy_font_words_record(const BuildContext& context, PresenceFlags& present);
/// settings.fontfile copied into "rec_fntTrans.bin".
void copy_font_trans_record(const BuildContext& context, PresenceFlags& present);
/// settings.kbdfile copied into "rec_kbd.bin".
void copy_kbd_record(const BuildContext& context, PresenceFlags& present);

}  // namespace lexbuild
