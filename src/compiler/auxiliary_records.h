// The optional records: about text, abbreviations, the two fonts and the
// keyboard. Each routine turns its source file, when it exists, into its
// record file in the work folder and raises its presence flag.
#pragma once

#include "compiler/compiler_state.h"
#include "driver/build_context.h"

namespace lexbuild {

/// settings.aboutfile into "rec_about.bin" (CR LF pairs become LF, a zero byte ends it).
void write_about_record(BuildContext& context, PresenceFlags& present);
/// settings.abbrfile into "rec_abbr.bin", like the about text.
void write_abbr_record(BuildContext& context, PresenceFlags& present);
/// "_fntWords.txt" of the work folder copied into "rec_fntWords.bin".
void copy_font_words_record(BuildContext& context, PresenceFlags& present);
/// settings.fontfile copied into "rec_fntTrans.bin".
void copy_font_trans_record(BuildContext& context, PresenceFlags& present);
/// settings.kbdfile copied into "rec_kbd.bin".
void copy_kbd_record(BuildContext& context, PresenceFlags& present);

}  // namespace lexbuild
