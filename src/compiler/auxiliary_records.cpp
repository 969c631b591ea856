#include "compiler/auxiliary_records.h"

namespace lexbuild {

// The optional records are not built yet: none is written.
void write_about_record(BuildContext&, PresenceFlags&) {}
void write_abbr_record(BuildContext&, PresenceFlags&) {}
void copy_font_words_record(BuildContext&, PresenceFlags&) {}
void copy_font_trans_record(BuildContext&, PresenceFlags&) {}
void copy_kbd_record(BuildContext&, PresenceFlags&) {}

}  // namespace lexbuild
