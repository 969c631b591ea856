// The Unicode conversion: turns the 8-bit list into the 16-bit list, byte by
// byte through the selected locale's code page.
#pragma once

#include <cstdint>
#include <vector>

#include "driver/build_context.h"
#include "intake/current_list.h"
#include "intake/source_locale.h"

namespace lexbuild {

/// Turns an 8-bit list, one text-mode character or line end at a time, into
/// the bytes of the 16-bit list: each byte one UTF-16LE unit, each line end
/// the two bytes 0D 0A. A byte that the code page does not define becomes
/// U+FFFD and draws one warning for its line.
class Utf16ListEncoder {
 public:
  Utf16ListEncoder(const SourceLocale& locale, Console& console)
      : locale_(locale), console_(console) {}

  /// Appends the bytes for character `c` (LF: the line end) to `out`.
  void put(uint8_t c, std::vector<uint8_t>& out);

 private:
  const SourceLocale& locale_;
  Console& console_;
  int line_ = 1;
  bool warned_ = false;
};

/// The conversion stage, `dic_unicode`: converts the current list into its
/// `dic_unicode` stage file, which becomes the current list (the previous
/// one is deleted when it was a stage file, never the user's source). A list
/// held in memory is converted there and stays held, for the sort.
void dic_unicode(BuildContext& context, CurrentList& list, const SourceLocale& locale);

}  // namespace lexbuild
