#include "intake/unicode_conversion.h"

#include "driver/report.h"
#include "platform/memory.h"

namespace lexbuild {
namespace {

constexpr char16_t kReplacementCharacter = 0xFFFD;

// Bytes converted between two writes to the stage file.
constexpr size_t kChunk = 1 << 16;

// The list that the splitter left in memory for the sort, converted there:
// writing it out only to read it back would cost more than the conversion.
// Its stage file is created empty, to hold the name; the sort writes it.
void convert_held(BuildContext& context, CurrentList& list, const SourceLocale& locale) {
  const std::vector<uint8_t> text = *list.take_held();
  StageFile output(context, "dic_unicode");
  context.console.print("%s\n", "Converting to unicode...");

  Utf16ListEncoder encoder(locale, context.console);
  std::vector<uint8_t> bytes;
  platform::reserve_large_buffer(bytes, 2 * text.size() + 2);
  // Read as a text-mode read of the file gives it: CR LF as LF, and the end
  // at the first 0x1A.
  for (size_t i = 0; i < text.size(); ++i) {
    uint8_t c = text[i];
    if (c == 0x1A) break;
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') c = text[++i];
    encoder.put(c, bytes);
  }
  output.close();
  list.replace(output.path());
  list.hold(std::move(bytes));
}

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
  if (list.is_held()) {
    convert_held(context, list, locale);
    return;
  }
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
