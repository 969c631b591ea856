#include "intake/unicode_conversion.h"

#include <cstring>

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
  platform::reserve_large_buffer(bytes, 2 * text.size());
  encoder.put_text(text, bytes);
  output.close();
  list.replace(output.path());
  list.hold(std::move(bytes));
}

}  // namespace

Utf16ListEncoder::Utf16ListEncoder(const SourceLocale& locale, Console& console)
    : locale_(locale), console_(console) {
  for (size_t b = 0; b < bytes_.size(); ++b) {
    const auto converted = locale.unit(static_cast<uint8_t>(b));
    defined_[b] = converted.has_value();
    // Stored as it is, low byte first: a unit with a 0x0A or 0x0D byte is
    // no line end.
    const char16_t unit = converted.value_or(kReplacementCharacter);
    bytes_[b] = {static_cast<uint8_t>(unit & 0xFF), static_cast<uint8_t>(unit >> 8)};
    plain_[b] = defined_[b] && b != '\n' && b != '\r' && b != 0x1A;
  }
  bytes_['\n'] = {0x0D, 0x0A};  // the list's line end
  defined_['\n'] = true;
}

void Utf16ListEncoder::warn_undefined(uint8_t c) {
  if (warned_) return;
  report_warning(console_,
                 "(WARNING) line %d: byte 0x%02X is not a character of code page %d, "
                 "U+FFFD written instead\n",
                 line_, c, locale_.code_page());
  warned_ = true;
}

void Utf16ListEncoder::put(uint8_t c, std::vector<uint8_t>& out) {
  uint8_t bytes[2];
  put_unit(c, bytes);
  out.insert(out.end(), bytes, bytes + 2);
}

void Utf16ListEncoder::put_text(std::span<const uint8_t> text, std::vector<uint8_t>& out) {
  const size_t start = out.size();
  out.resize(start + 2 * text.size());
  uint8_t* at = out.data() + start;
  for (size_t i = 0; i < text.size(); ++i) {
    uint8_t c = text[i];
    if (plain_[c]) {  // nearly every byte: its unit, and nothing else to do
      std::memcpy(at, bytes_[c].data(), 2);
      at += 2;
      continue;
    }
    if (c == 0x1A) break;
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') c = text[++i];
    at = put_unit(c, at);
  }
  out.resize(static_cast<size_t>(at - out.data()));
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
