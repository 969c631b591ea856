#include "intake/utf8_source.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "driver/report.h"
#include "intake/byte_search.h"
#include "intake/text_blocks.h"
#include "platform/unicode_text.h"

namespace lexbuild {
namespace {

constexpr std::array<uint8_t, 3> kByteOrderMark = {0xEF, 0xBB, 0xBF};
constexpr std::array<uint8_t, 2> kLineEnd = {0x0D, 0x0A};

// Characters the refusal names one by one; the rest are only counted.
constexpr size_t kMissingShown = 5;

// Converted bytes gathered between two writes to the stage file.
constexpr size_t kFlushSize = size_t{1} << 16;

// The 16-bit list ends a line at this unit, so no character may be it.
constexpr char16_t kUnitLineEnd = 0x0A0D;

bool starts_with_bom(std::span<const uint8_t> text) {
  return text.size() >= kByteOrderMark.size() &&
         std::equal(kByteOrderMark.begin(), kByteOrderMark.end(), text.begin());
}

// Calls on_line(text, end) for every line of `file` read as text (a CR LF
// pair read as LF, 0x1A ending the input): `end` is '\n', '\r' for a lone CR
// (which the splitter takes for a line end too), or 0 for a last line without
// an end. A false from on_line stops the reading.
template <typename OnLine>
void for_each_line(platform::InputFile& file, OnLine on_line) {
  TextBlocks blocks(file);
  std::vector<uint8_t> block;
  std::vector<uint8_t> pending;  // the start of a line that goes on in the next block
  while (blocks.next(block)) {
    const size_t n = block.size();
    const uint8_t* const base = block.data();
    // The next LF and the next CR, each looked for again only once passed,
    // so that a list of lone CRs is not scanned to its block's end per line.
    const auto next = [&](size_t from, uint8_t byte) {
      return static_cast<size_t>(find_byte(base + from, base + n, byte) - base);
    };
    size_t next_lf = next(0, '\n');
    size_t next_cr = next(0, '\r');
    size_t i = 0;
    while (i < n) {
      if (next_lf < i) next_lf = next(i, '\n');
      if (next_cr < i) next_cr = next(i, '\r');
      const size_t j = std::min(next_lf, next_cr);
      const std::span<const uint8_t> piece = std::span<const uint8_t>(block).subspan(i, j - i);
      if (j == n) {
        pending.insert(pending.end(), piece.begin(), piece.end());
        break;
      }
      bool go_on = true;
      if (pending.empty()) {
        go_on = on_line(piece, block[j]);
      } else {
        pending.insert(pending.end(), piece.begin(), piece.end());
        go_on = on_line(std::span<const uint8_t>(pending), block[j]);
        pending.clear();
      }
      if (!go_on) return;
      i = j + 1;
    }
  }
  if (!pending.empty()) on_line(std::span<const uint8_t>(pending), uint8_t{0});
}

std::string hex_bytes(std::span<const uint8_t> bytes) {
  std::string text;
  for (uint8_t b : bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    if (!text.empty()) text += ' ';
    text += kDigits[b >> 4];
    text += kDigits[b & 0xF];
  }
  return text;
}

std::string utf8_of(char32_t code) {
  std::vector<uint8_t> units;
  auto put = [&units](char16_t u) {
    units.push_back(static_cast<uint8_t>(u & 0xFF));
    units.push_back(static_cast<uint8_t>(u >> 8));
  };
  if (code > 0xFFFF) {
    put(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
    put(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
  } else {
    put(static_cast<char16_t>(code));
  }
  return platform::utf16le_to_utf8(units);
}

std::string where_stored(const SourceLocale& locale, const std::string& language) {
  using Language = SourceLocale::Language;
  switch (locale.language()) {
    case Language::kFound:
      return "codepage " + std::to_string(locale.code_page()) + " of --source_language=" + language;
    case Language::kNone:
      break;
    case Language::kUnknown:
      return "the \"C\" locale (--source_language=" + language +
             " is no language lexbuild knows), which stores U+0001 to U+00FF";
    case Language::kWithoutCodePage:
      return "the \"C\" locale (--source_language=" + language +
             " has no 8-bit codepage), which stores U+0001 to U+00FF";
  }
  return "the \"C\" locale (no --source_language), which stores U+0001 to U+00FF";
}

}  // namespace

bool starts_with_utf8_bom(const std::string& path) {
  platform::InputFile file;
  if (!file.open(path)) return false;
  std::array<uint8_t, 3> head{};
  const size_t n = file.read(head.data(), head.size());
  return starts_with_bom(std::span<const uint8_t>(head.data(), n));
}

bool source_is_utf8(const Settings& settings) {
  return settings.source_utf8 || starts_with_utf8_bom(settings.infile);
}

Utf8LineConverter::Utf8LineConverter(const SourceLocale& locale, ListTarget target,
                                     std::string source, const std::string& language,
                                     bool directives)
    : target_(target),
      directives_(directives),
      source_(std::move(source)),
      where_(where_stored(locale, language)) {
  // The lowest byte of each character, as the reader turns it back; for
  // every target, since to_code_page() converts into the code page too.
  byte_of_.assign(0x10000, -1);
  for (int b = 255; b >= 0; --b) {
    if (const auto unit = locale.unit(static_cast<uint8_t>(b))) {
      byte_of_[*unit] = static_cast<int16_t>(b);
    }
  }
  byte_of_[0] = 0;
  // No code page has a surrogate, so a pair always counts as missing.
  std::fill(byte_of_.begin() + 0xD800, byte_of_.begin() + 0xE000, int16_t{-1});
}

void Utf8LineConverter::convert(std::span<const uint8_t> text, int line,
                                std::vector<uint8_t>* out) {
  if (target_ == ListTarget::kUtf16) {
    decode(text, line);
    utf16_bytes(line, out);
    return;
  }
  missing_units_.clear();
  std::vector<uint8_t>& bytes = out ? *out : scratch_;
  const auto bad = platform::append_bytes_of_utf8(text, byte_of_, bytes, missing_units_);
  if (!out) scratch_.clear();
  if (bad) report_invalid(text, line, *bad);
  for (const char32_t code : missing_units_) note_missing(line, code);
}

std::span<const char16_t> Utf8LineConverter::units(std::span<const uint8_t> text, int line) {
  decode(text, line);
  check_utf16(line);
  return units_;
}

void Utf8LineConverter::decode(std::span<const uint8_t> text, int line) {
  units_.clear();
  if (const auto bad = platform::append_utf16_of_utf8(text, units_)) {
    report_invalid(text, line, *bad);
  }
}

void Utf8LineConverter::report_invalid(std::span<const uint8_t> text, int line, size_t at) const {
  const size_t shown = std::min<size_t>(4, text.size() - at);
  report_fatal(
      "%s is read as UTF-8, but line %d is not valid UTF-8 at byte %zu of the line (%s); "
      "save the list as UTF-8, or, for a list in the codepage of --source_language, give "
      "neither --source_encoding=utf-8 nor a byte-order mark\n",
      source_.c_str(), line, at + 1, hex_bytes(text.subspan(at, shown)).c_str());
}

void Utf8LineConverter::check_utf16(int line) const {
  if (std::find(units_.begin(), units_.end(), kUnitLineEnd) != units_.end()) {
    report_fatal(
        "line %d of %s holds the character U+0A0D, which a UTF-16 dictionary cannot store "
        "(its list reads that unit as a line end); remove it\n",
        line, source_.c_str());
  }
}

void Utf8LineConverter::utf16_bytes(int line, std::vector<uint8_t>* out) const {
  check_utf16(line);
  if (!out) return;
  const size_t start = out->size();
  out->resize(start + 2 * units_.size());
  uint8_t* p = out->data() + start;
  for (char16_t u : units_) {
    *p++ = static_cast<uint8_t>(u & 0xFF);
    *p++ = static_cast<uint8_t>(u >> 8);
  }
}

void Utf8LineConverter::note_missing(int line, char32_t code) {
  if (first_missing_.size() < kMissingShown) first_missing_.push_back({line, code});
  ++missing_count_;
}

void Utf8LineConverter::finish() const {
  if (missing_count_ == 0) return;
  std::string list;
  for (const Missing& m : first_missing_) {
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(m.code));
    list += "  line " + std::to_string(m.line) + ": '" + utf8_of(m.code) + "' " + code + "\n";
  }
  if (missing_count_ > first_missing_.size()) {
    list += "  and " + std::to_string(missing_count_ - first_missing_.size()) + " more\n";
  }
  const char* const them = missing_count_ == 1 ? "it" : "them";
  // The directives of the first line go into the code page in every dictionary.
  const std::string advice =
      directives_ ? std::string(
                        "the first line's ABOUT=, ABBREVIATION= and ID= texts are stored in the "
                        "codepage in every dictionary: choose a --source_language whose codepage "
                        "has ") +
                        them + ", or leave " + them + " out of those texts"
                  : std::string(
                        "build a UTF-16 dictionary with --unicode=1, or choose a "
                        "--source_language whose codepage has ") +
                        them;
  report_fatal("%zu character%s of %s %s no byte in %s:\n%s%s\n", missing_count_,
               missing_count_ == 1 ? "" : "s", source_.c_str(),
               missing_count_ == 1 ? "has" : "have", where_.c_str(), list.c_str(), advice.c_str());
}

std::string Utf8LineConverter::to_code_page(std::string_view text, int line) {
  const ListTarget target = target_;
  target_ = ListTarget::kCodePage;
  std::vector<uint8_t> bytes;
  convert(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()),
          line, &bytes);
  target_ = target;
  finish();
  return std::string(bytes.begin(), bytes.end());
}

namespace {

// Runs `converter` over the current list, handing each converted line and its
// line end to `write`; the byte-order mark of the first line is dropped.
template <typename Write>
void convert_list(const CurrentList& list, Utf8LineConverter& converter, ListTarget target,
                  std::vector<uint8_t>* bytes, Write write) {
  platform::InputFile input;
  open_list(input, list.path());
  int line = 1;
  for_each_line(input, [&](std::span<const uint8_t> text, uint8_t end) {
    if (line == 1 && starts_with_bom(text)) text = text.subspan(kByteOrderMark.size());
    converter.convert(text, line, bytes);
    if (bytes && end != 0) {
      if (target == ListTarget::kUtf16 || end == '\n') {
        bytes->insert(bytes->end(), kLineEnd.begin(), kLineEnd.end());
      } else {
        bytes->push_back('\r');  // a lone CR stays what it was
      }
    }
    if (end != 0) ++line;
    write();
    return true;
  });
  check_read(input, list.path());
  converter.finish();
}

}  // namespace

namespace {

template <typename Unit>
void feed_utf8_lines(platform::InputFile& file, Utf8LineConverter& converter,
                     TabSplitter<Unit>& splitter) {
  int line = 1;
  std::vector<uint8_t> bytes;
  for_each_line(file, [&](std::span<const uint8_t> text, uint8_t end) {
    if (line == 1 && starts_with_bom(text)) text = text.subspan(kByteOrderMark.size());
    if constexpr (sizeof(Unit) == 1) {
      bytes.clear();
      converter.convert(text, line, &bytes);
      splitter.put_run(bytes);
    } else {
      splitter.put_run(converter.units(text, line));
    }
    // A lone CR ends a line, as the splitter takes it in an 8-bit list.
    if (end != 0) {
      splitter.line_end();
      ++line;
    }
    return true;
  });
  converter.finish();
  splitter.finish();
}

}  // namespace

void feed_utf8(platform::InputFile& file, Utf8LineConverter& converter,
               TabSplitter<uint8_t>& splitter) {
  feed_utf8_lines(file, converter, splitter);
}

void feed_utf8(platform::InputFile& file, Utf8LineConverter& converter,
               TabSplitter<char16_t>& splitter) {
  feed_utf8_lines(file, converter, splitter);
}

void feed_utf8_as_code_page(platform::InputFile& file, Utf8LineConverter& converter,
                            const std::function<void(std::span<const uint8_t>)>& on_bytes) {
  int line = 1;
  std::vector<uint8_t> bytes;
  for_each_line(file, [&](std::span<const uint8_t> text, uint8_t end) {
    if (line == 1 && starts_with_bom(text)) text = text.subspan(kByteOrderMark.size());
    bytes.clear();
    converter.convert(text, line, &bytes);
    if (end != 0) {
      bytes.push_back(end);
      ++line;
    }
    on_bytes(bytes);
    return true;
  });
  converter.finish();
}

void utf8_in(BuildContext& context, CurrentList& list, const SourceLocale& locale,
             ListTarget target) {
  Utf8LineConverter converter(locale, target, source_name_for_messages(context),
                              context.settings.source_language);
  StageFile output(context, "utf8_in");
  std::vector<uint8_t> bytes;
  bytes.reserve(kFlushSize + kFlushSize / 4);
  try {
    convert_list(list, converter, target, &bytes, [&] {
      if (bytes.size() >= kFlushSize) {
        output.out().write(bytes);
        bytes.clear();
      }
    });
  } catch (const FatalError&) {
    output.discard();  // a refused list leaves nothing behind
    throw;
  }
  output.out().write(bytes);
  output.close();
  list.replace(output.path());
  if (target == ListTarget::kUtf16) list.mark_utf16();
}

void check_utf8_list(const BuildContext& context, const CurrentList& list,
                     const SourceLocale& locale, ListTarget target) {
  Utf8LineConverter converter(locale, target, source_name_for_messages(context),
                              context.settings.source_language);
  convert_list(list, converter, target, nullptr, [] {});
}

void warn_if_utf8(BuildContext& context, const std::string& path) {
  // (path: the file that holds the source's bytes; messages name the source.)
  platform::InputFile input;
  if (!input.open(path)) return;  // the stages that read it report that
  std::u16string units;
  bool valid = true;
  bool multi_byte = false;
  for_each_line(input, [&](std::span<const uint8_t> text, uint8_t) {
    // An ASCII line, as most lines of most lists are, reads the same either
    // way: only the others are converted.
    uint8_t any_high = 0;
    for (const uint8_t byte : text) any_high |= byte;
    if (any_high < 0x80) return true;
    units.clear();
    valid = !platform::append_utf16_of_utf8(text, units);
    // Every multi-byte sequence gives fewer units than it has bytes.
    if (units.size() != text.size()) multi_byte = true;
    return valid;
  });
  if (valid && multi_byte && !input.failed()) {
    report_warning(context.console,
                   "%s looks like UTF-8: read in a codepage, each of its accented or other "
                   "non-ASCII characters becomes several wrong ones; add --source_encoding=utf-8\n",
                   source_name_for_messages(context).c_str());
  }
}

}  // namespace lexbuild
