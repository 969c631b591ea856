// The Unicode conversion: turns the 8-bit list into the 16-bit list, byte by
// byte through the selected locale's code page.
#pragma once

#include <array>
#include <cstdint>
#include <span>
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
  Utf16ListEncoder(const SourceLocale& locale, Console& console);

  /// Appends the bytes for character `c` (LF: the line end) to `out`.
  void put(uint8_t c, std::vector<uint8_t>& out);

  /// Turns `text` into its bytes in place, read as a text-mode read of its
  /// file gives it: CR LF as one line end, and the end at the first 0x1A.
  /// The 16-bit list takes up to twice the room; a buffer reserved for that
  /// spares taking fresh memory for a second copy.
  void convert_in_place(std::vector<uint8_t>& text);

 private:
  /// Stores the two bytes for `c` at `at`; returns where the next go.
  uint8_t* put_unit(uint8_t c, uint8_t* at) {
    if (c == '\n') {
      end_line();
    } else if (!defined_[c]) {
      warn_undefined(c);
    }
    at[0] = bytes_[c][0];
    at[1] = bytes_[c][1];
    return at + 2;
  }
  void end_line() {
    ++line_;
    warned_ = false;
  }
  void warn_undefined(uint8_t c);
  /// Bytes that convert_in_place() takes together when all are plain.
  static constexpr size_t kGroup = 8;
  /// Whether the kGroup bytes from `bytes` are all plain.
  bool plain_group(const uint8_t* bytes) const;
  /// Whether the kGroup bytes from `bytes` all lie from 0x20 to 0x7F, told
  /// without the tables.
  static bool ascii_group(const uint8_t* bytes);

  const SourceLocale& locale_;
  Console& console_;
  /// Each byte's two bytes in the list: the line end's for LF, U+FFFD's for
  /// a byte that the code page does not define.
  std::array<std::array<uint8_t, 2>, 256> bytes_{};
  std::array<bool, 256> defined_{};
  /// Bytes that only become their unit: no line end, CR, 0x1A or undefined byte.
  std::array<bool, 256> plain_{};
  /// Every byte from 0x20 to 0x7F is plain and becomes the unit of that value.
  bool ascii_as_is_ = true;
  int line_ = 1;
  bool warned_ = false;
};

/// The conversion stage, `dic_unicode`: converts the current list into its
/// `dic_unicode` stage file, which becomes the current list (the previous
/// one is deleted when it was a stage file, never the user's source). A list
/// held in memory is converted there and stays held, for the sort.
void dic_unicode(BuildContext& context, CurrentList& list, const SourceLocale& locale);

}  // namespace lexbuild
