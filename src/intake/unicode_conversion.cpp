#include "intake/unicode_conversion.h"

#include <cstring>

#include "driver/report.h"

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
  for (size_t b = 0x20; b < 0x80; ++b) {
    ascii_as_is_ &= plain_[b] && bytes_[b][0] == b && bytes_[b][1] == 0;
  }
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

bool Utf16ListEncoder::plain_group(const uint8_t* bytes) const {
  // Every lookup, no early exit: a branch per byte is what this spares.
  bool plain = true;
  for (size_t k = 0; k < kGroup; ++k) plain &= plain_[bytes[k]];
  return plain;
}

bool Utf16ListEncoder::ascii_group(const uint8_t* bytes) {
  static_assert(kGroup == sizeof(uint64_t));
  uint64_t eight;
  std::memcpy(&eight, bytes, sizeof eight);
  // No byte with its high bit set, and none below 0x20: taking 0x20 from
  // each byte sets the high bit of the first one below it.
  constexpr uint64_t kHigh = 0x8080808080808080u;
  constexpr uint64_t kSpaces = 0x2020202020202020u;
  return ((eight | (eight - kSpaces)) & kHigh) == 0;
}

void Utf16ListEncoder::convert_in_place(std::vector<uint8_t>& text) {
  // Forward, as the text is read: where it ends, how many units it makes,
  // and the warnings, each with its line. Runs of plain bytes, nearly all
  // of a list, are passed over a group at a time; those of printable ASCII,
  // most of a list in a Latin script, are told without the tables.
  const uint8_t* bytes = text.data();
  const size_t size = text.size();
  size_t end = size;
  size_t pairs = 0;  // CR LF line ends: two bytes, one unit
  for (size_t i = 0; i < size;) {
    if (i + kGroup <= size &&
        ((ascii_as_is_ && ascii_group(bytes + i)) || plain_group(bytes + i))) {
      i += kGroup;
      continue;
    }
    uint8_t c = bytes[i++];
    if (plain_[c]) continue;
    if (c == 0x1A) {
      end = i - 1;
      break;
    }
    if (c == '\r' && i < size && bytes[i] == '\n') {
      c = bytes[i++];
      ++pairs;
    }
    if (c == '\n') {
      end_line();
    } else if (!defined_[c]) {
      warn_undefined(c);
    }
  }
  const size_t units = end - pairs;
  // The splitter reserves the room for a list it holds.
  text.reserve(2 * units);
  text.resize(2 * units);
  // Backward, from the last unit: a unit never lies before the bytes it
  // comes from, so each byte is read before a unit covers it. (The units
  // before byte j are at least j / 2, so those from byte j on start at j or
  // later.) A group of plain bytes is read whole before its units go out.
  uint8_t* const data = text.data();
  uint8_t* at = data + 2 * units;
  for (size_t i = end; i > 0;) {
    if (ascii_as_is_ && i >= kGroup && ascii_group(data + i - kGroup)) {
      // Each unit is the byte and a zero.
      i -= kGroup;
      std::array<uint8_t, kGroup> group;
      std::memcpy(group.data(), data + i, kGroup);
      at -= 2 * kGroup;
      for (size_t k = 0; k < kGroup; ++k) {
        at[2 * k] = group[k];
        at[2 * k + 1] = 0;
      }
      continue;
    }
    if (i >= kGroup && plain_group(data + i - kGroup)) {
      i -= kGroup;
      std::array<uint8_t, kGroup> group;
      std::memcpy(group.data(), data + i, kGroup);
      at -= 2 * kGroup;
      for (size_t k = 0; k < kGroup; ++k) std::memcpy(at + 2 * k, bytes_[group[k]].data(), 2);
      continue;
    }
    uint8_t c = data[--i];
    if (c == '\n' && i > 0 && data[i - 1] == '\r') --i;  // CR LF: one line end
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
