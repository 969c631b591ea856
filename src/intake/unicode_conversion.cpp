#include "intake/unicode_conversion.h"

#include "driver/report.h"

namespace lexbuild {
namespace {

constexpr char16_t kReplacementCharacter = 0xFFFD;

// Bytes converted between two writes to the stage file.
constexpr size_t kChunk = 1 << 16;

}  // namespace

void Utf16ListEncoder::put(uint8_t c, std::vector<uint8_t>& out) {
  if (c == '\n') {
    out.push_back(0x0D);
    out.push_back(0x0A);
    ++line_;
    warned_ = false;
    return;
  }
  char16_t unit = kReplacementCharacter;
  if (const auto converted = locale_.unit(c)) {
    unit = *converted;
  } else if (!warned_) {
    report_warning(console_,
                   "(WARNING) line %d: byte 0x%02X is not a character of code page %d, "
                   "U+FFFD written instead\n",
                   line_, c, locale_.code_page());
    warned_ = true;
  }
  // Stored as it is, low byte first: a unit with a 0x0A or 0x0D byte is no
  // line end.
  out.push_back(static_cast<uint8_t>(unit & 0xFF));
  out.push_back(static_cast<uint8_t>(unit >> 8));
}

void dic_unicode(BuildContext& context, CurrentList& list, const SourceLocale& locale) {
  platform::InputFile input;
  open_list(input, list.path());
  StageFile output(context, "dic_unicode");
  context.console.print("%s\n", "Converting to unicode...");

  Utf16ListEncoder encoder(locale, context.console);
  platform::TextInput text(input);
  std::vector<uint8_t> bytes;
  bytes.reserve(2 * kChunk + 2);
  for (int c = text.get(); c >= 0; c = text.get()) {
    encoder.put(static_cast<uint8_t>(c), bytes);
    if (bytes.size() >= 2 * kChunk) {
      output.out().write(bytes);
      bytes.clear();
    }
  }
  output.out().write(bytes);
  check_read(input, list.path());
  input.close();
  output.close();
  list.replace(output.path());
}

}  // namespace lexbuild
