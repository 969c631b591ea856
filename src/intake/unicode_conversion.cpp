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
  std::vector<uint8_t> text = *list.take_held();
  StageFile output(context, "dic_unicode");
  context.console.print("%s\n", "Converting to unicode...");

  Utf16ListEncoder encoder(locale, context.console);
  encoder.convert_in_place(text);
  output.close();
  list.replace(output.path());
  list.hold(std::move(text));
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

void Utf16ListEncoder::convert_in_place(std::vector<uint8_t>& text) {
  // Forward, as the text is read: where it ends, how many units it makes,
  // and the warnings, each with its line.
  size_t end = text.size();
  size_t units = 0;
  for (size_t i = 0; i < text.size(); ++i, ++units) {
    uint8_t c = text[i];
    if (plain_[c]) continue;  // nearly every byte: its unit, and nothing else to note
    if (c == 0x1A) {
      end = i;
      break;
    }
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') c = text[++i];
    if (c == '\n') {
      end_line();
    } else if (!defined_[c]) {
      warn_undefined(c);
    }
  }
  // The splitter reserves the room for a list it holds.
  platform::reserve_large_buffer(text, 2 * units);
  text.resize(2 * units);
  // Backward, from the last unit: a unit never lies before the bytes it
  // comes from, so each byte is read before a unit covers it. (The units
  // before byte j are at least j / 2, so those from byte j on start at j or
  // later.)
  uint8_t* at = text.data() + 2 * units;
  for (size_t i = end; i-- > 0;) {
    uint8_t c = text[i];
    if (c == '\n' && i > 0 && text[i - 1] == '\r') --i;  // CR LF: one line end
    at -= 2;
    std::memcpy(at, bytes_[c].data(), 2);
  }
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
