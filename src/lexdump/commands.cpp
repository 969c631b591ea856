#include "lexdump/commands.h"

#include <array>
#include <cstdio>
#include <optional>

#include "compiler/format.h"
#include "intake/source_locale.h"
#include "lexdump/dictionary.h"
#include "lexdump/json_writer.h"
#include "lexdump/lookup.h"
#include "lexdump/verify.h"
#include "platform/file.h"
#include "platform/unicode_text.h"

namespace lexbuild::dump {
namespace {

constexpr char kUsage[] =
    "Usage: lexdump [--json] COMMAND DICT.pdb [WORD]\n"
    "Reads a dictionary database back the way the handheld reader does.\n"
    "\n"
    "Commands:\n"
    "  info DICT.pdb          the database header, the header record's fields, chunk\n"
    "                         and compression figures, word table nodes per level\n"
    "  verify DICT.pdb        checks every structural rule the reader relies on;\n"
    "                         exit status 0 when all hold, 1 otherwise\n"
    "  entries DICT.pdb       every entry as word, TAB, translation, one per line;\n"
    "                         line breaks in a translation are written as \\n\n"
    "  lookup DICT.pdb WORD   finds WORD through the word table and prints its\n"
    "                         translation; exit status 1 when it is not there\n"
    "\n"
    "Options:\n"
    "  --json                   machine-readable output for info and verify\n"
    "  --source_language=LANG   the language the dictionary was built with (as given\n"
    "                           to lexbuild): lookup lower-cases WORD by its rules,\n"
    "                           and 8-bit text is converted from and to UTF-8\n"
    "                           through its code page\n"
    "  --help                   this text\n"
    "  --version                the version line\n"
    "\n"
    "Dictionaries are written and looked up in UTF-8: 8-bit ones through the code\n"
    "page of --source_language (without it, each byte is the character U+0001 to\n"
    "U+00FF of that number, as lexbuild stores them then).\n";

// How stored text meets the terminal: UTF-16 as UTF-8; 8-bit text through the
// code page of the dictionary's language, or, without one, as the build's "C"
// locale stores it (each byte the character of that number), so that a list
// read back gives the text it was built from.
class TextCodec {
 public:
  TextCodec(const Dictionary& d, const SourceLocale& locale) : d_(d), locale_(locale) {}

  std::string display(std::span<const uint8_t> text) const {
    if (d_.unicode()) return display_text(text, true);
    std::vector<uint8_t> units;
    for (uint8_t b : text) {
      const char16_t unit = locale_.unit(b).value_or(u'\uFFFD');
      units.push_back(static_cast<uint8_t>(unit));
      units.push_back(static_cast<uint8_t>(unit >> 8));
    }
    return platform::utf16le_to_utf8(units);
  }

  // The stored form of a word typed on the command line; nothing when it
  // holds a character the code page cannot write.
  std::optional<std::vector<uint8_t>> stored(const std::string& word) const {
    if (d_.unicode()) return platform::utf8_to_utf16le(word);
    const std::vector<uint8_t> units = platform::utf8_to_utf16le(word);
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < units.size(); i += 2) {
      const char16_t unit = static_cast<char16_t>(units[i] | (units[i + 1] << 8));
      std::optional<uint8_t> byte;
      for (int b = 1; b < 256 && !byte; ++b) {
        if (locale_.unit(static_cast<uint8_t>(b)) == unit) byte = static_cast<uint8_t>(b);
      }
      if (!byte) return std::nullopt;
      bytes.push_back(*byte);
    }
    return bytes;
  }

 private:
  const Dictionary& d_;
  const SourceLocale& locale_;
};

// A text with its line breaks written as the break escape.
std::string escaped(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

std::string number_or_dash(uint16_t record) { return record ? std::to_string(record) : "-"; }

struct KindFigures {
  size_t records = 0;
  size_t chunks = 0;
  uint64_t compressed = 0;
  uint64_t raw = 0;
  size_t undecodable = 0;
};

KindFigures figures(const Dictionary& d, Kind kind) {
  KindFigures f;
  f.records = d.record_count(kind);
  for (const ChunkRef& c : d.chunks(kind)) {
    ++f.chunks;
    f.compressed += c.descriptor.size;
    const DecodedChunk decoded = Dictionary::decode(c);
    if (decoded.ok) {
      f.raw += decoded.raw.size();
    } else {
      ++f.undecodable;
    }
  }
  return f;
}

std::array<size_t, 4> nodes_per_level(const Dictionary& d) {
  std::array<size_t, 4> counts{};
  if (d.table()) {
    for (const TableNode& n : d.table()->nodes) ++counts[std::min(n.level, 4) - 1];
  }
  return counts;
}

void info_text(const Dictionary& d, const std::string& path, std::string& out) {
  const PdbFile& p = d.pdb();
  const HeaderRecord& h = d.header();
  char line[256];
  out += "file:              " + path + " (" + std::to_string(p.bytes.size()) + " bytes)\n";
  out += "name:              " + p.name + "\n";
  out += "type, creator:     " + p.type + ", " + p.creator + "\n";
  std::snprintf(line, sizeof line, "version:           %u (attributes %u)\n", p.version,
                p.attributes);
  out += line;
  out += "created:           " + palm_date_text(p.creation_date) + "\n";
  out += "modified:          " + palm_date_text(p.modification_date) + "\n";
  out += "records:           " + std::to_string(p.records.size()) + "\n";
  out += "entries:           " + std::to_string(h.items_count) + "\n";
  out += std::string("text:              ") + (d.unicode() ? "UTF-16" : "8-bit") + "\n";
  out += std::string("large font:        ") + (h.largefont_flag ? "yes" : "no") + "\n";
  out += "pictures database: " + (h.pictures_db.empty() ? std::string("-") : h.pictures_db) + "\n";
  out += "HTML:              " + std::to_string(h.allow_html) + "\n";
  std::snprintf(line, sizeof line, "header CRC:        %08X (%s)\n", h.stored_crc,
                h.crc_ok ? "valid" : "WRONG");
  out += line;
  out += "record numbers:    table " + std::to_string(h.tab_record) + ", words index " +
         std::to_string(h.index_w_record) + ", translations index " +
         std::to_string(h.index_t_record) + ", first words " +
         std::to_string(h.first_words_record) + ", first translations " +
         std::to_string(h.first_trans_record) + "\n";
  out += "                   about " + number_or_dash(h.about_record) + ", abbreviations " +
         number_or_dash(h.abbr_record) + ", list font " + number_or_dash(h.font_words_record) +
         ", translation font " + number_or_dash(h.font_trans_record) + ", keyboard " +
         number_or_dash(h.kbd_record) + "\n";
  out += "                   high-resolution text font " + number_or_dash(h.text_font_hr_record) +
         ", list font " + number_or_dash(h.list_font_hr_record) + "\n";
  for (Kind kind : {Kind::kWords, Kind::kTrans}) {
    const KindFigures f = figures(d, kind);
    std::snprintf(
        line, sizeof line,
        "%-19s%zu records, %zu chunks, %llu bytes raw, %llu compressed (%.1f%%)%s\n",
        kind == Kind::kWords ? "words:" : "translations:", f.records, f.chunks,
        static_cast<unsigned long long>(f.raw), static_cast<unsigned long long>(f.compressed),
        f.raw ? 100.0 * static_cast<double>(f.compressed) / static_cast<double>(f.raw) : 0.0,
        f.undecodable ? ", some chunks do not decode" : "");
    out += line;
  }
  const auto levels = nodes_per_level(d);
  std::snprintf(
      line, sizeof line, "word table:        %zu nodes (levels 1-4: %zu, %zu, %zu, %zu)\n",
      levels[0] + levels[1] + levels[2] + levels[3], levels[0], levels[1], levels[2], levels[3]);
  out += line;
}

void info_json(const Dictionary& d, const std::string& path, std::string& out) {
  const PdbFile& p = d.pdb();
  const HeaderRecord& h = d.header();
  JsonWriter j(out);
  j.begin_object();
  j.field("file", path);
  j.field("size", p.bytes.size());
  j.field("name", p.name);
  j.field("type", p.type);
  j.field("creator", p.creator);
  j.field("version", p.version);
  j.field("attributes", p.attributes);
  j.field("created", palm_date_text(p.creation_date));
  j.field("modified", palm_date_text(p.modification_date));
  j.field("records", p.records.size());
  j.key("header_record");
  j.begin_object();
  j.field("entries", h.items_count);
  j.field("unicode", h.unicode_flag != 0);
  j.field("large_font", h.largefont_flag != 0);
  j.field("pictures_db", h.pictures_db);
  j.field("allow_html", static_cast<int64_t>(h.allow_html));
  j.field("crc", static_cast<uint64_t>(h.stored_crc));
  j.field("crc_valid", h.crc_ok);
  j.field("tab_record", h.tab_record);
  j.field("index_w_record", h.index_w_record);
  j.field("index_t_record", h.index_t_record);
  j.field("first_words_record", h.first_words_record);
  j.field("first_trans_record", h.first_trans_record);
  j.field("about_record", h.about_record);
  j.field("abbr_record", h.abbr_record);
  j.field("font_words_record", h.font_words_record);
  j.field("font_trans_record", h.font_trans_record);
  j.field("kbd_record", h.kbd_record);
  j.field("text_font_hr_record", h.text_font_hr_record);
  j.field("list_font_hr_record", h.list_font_hr_record);
  j.end_object();
  for (Kind kind : {Kind::kWords, Kind::kTrans}) {
    const KindFigures f = figures(d, kind);
    j.key(kind == Kind::kWords ? "words" : "translations");
    j.begin_object();
    j.field("records", f.records);
    j.field("chunks", f.chunks);
    j.field("raw_bytes", f.raw);
    j.field("compressed_bytes", f.compressed);
    j.field("undecodable_chunks", f.undecodable);
    j.end_object();
  }
  const auto levels = nodes_per_level(d);
  j.key("word_table_nodes");
  j.begin_array();
  for (size_t n : levels) j.value(n);
  j.end_array();
  j.end_object();
  out += "\n";
}

std::optional<std::vector<uint8_t>> read_database(const std::string& path, CommandOutput& result) {
  std::vector<uint8_t> bytes;
  int error = 0;
  if (!platform::read_file(path, bytes, &error)) {
    result.err += "lexdump: cannot read " + path + ": " + platform::error_text(error) + "\n";
    result.status = 1;
    return std::nullopt;
  }
  return bytes;
}

std::optional<Dictionary> open_dictionary(const std::string& path, CommandOutput& result) {
  auto bytes = read_database(path, result);
  if (!bytes) return std::nullopt;
  Findings findings;
  std::optional<Dictionary> d = Dictionary::open(std::move(*bytes), findings);
  if (!d) {
    result.err += "lexdump: " + path + " is not a readable dictionary database";
    if (!findings.empty()) result.err += ": " + findings.front().detail;
    result.err += "\n";
    result.status = 1;
  }
  return d;
}

void run_verify(const std::string& path, bool json, CommandOutput& result) {
  auto bytes = read_database(path, result);
  if (!bytes) return;
  const VerifyReport report = verify_database(std::move(*bytes));
  result.status = report.findings.empty() ? 0 : 1;
  if (json) {
    JsonWriter j(result.out);
    j.begin_object();
    j.field("file", path);
    j.field("ok", report.findings.empty());
    j.field("records", report.records);
    j.field("chunks", report.chunks);
    j.field("entries", report.entries);
    j.key("findings");
    j.begin_array();
    for (const Finding& f : report.findings) {
      j.begin_object();
      j.field("rule", f.rule);
      j.field("detail", f.detail);
      j.end_object();
    }
    j.end_array();
    j.end_object();
    result.out += "\n";
    return;
  }
  for (const Finding& f : report.findings) result.out += f.rule + ": " + f.detail + "\n";
  if (report.findings.empty()) {
    result.out += path + ": all checks passed (" + std::to_string(report.records) +
                  " chunk records, " + std::to_string(report.chunks) + " chunks, " +
                  std::to_string(report.entries) + " entries)\n";
  } else {
    result.out += path + ": " + std::to_string(report.findings.size()) + " problem" +
                  (report.findings.size() == 1 ? "" : "s") + " found\n";
  }
}

void run_entries(const std::string& path, const SourceLocale& locale, CommandOutput& result) {
  std::optional<Dictionary> d = open_dictionary(path, result);
  if (!d) return;
  const TextCodec codec(*d, locale);
  std::string error;
  auto entries = d->entries(error);
  if (!entries) {
    result.err += "lexdump: " + path + ": " + error + "\n";
    result.status = 1;
    return;
  }
  for (const StoredEntry& e : *entries) {
    result.out += escaped(codec.display(e.word));
    result.out += '\t';
    result.out += escaped(codec.display(e.translation));
    result.out += '\n';
  }
}

void run_lookup(const std::string& path, const std::string& word, const SourceLocale& locale,
                CommandOutput& result) {
  std::optional<Dictionary> d = open_dictionary(path, result);
  if (!d) return;
  const TextCodec codec(*d, locale);
  const std::optional<std::vector<uint8_t>> stored = codec.stored(word);
  if (!stored) {
    result.err += "lexdump: '" + word + "' cannot be written in code page " +
                  std::to_string(locale.code_page()) + "\n";
    result.status = 1;
    return;
  }
  LookupResult found = lookup_word(*d, *stored, locale.lower_case());
  if (found.error.empty() && found.translations.empty() && d->unicode()) {
    // The word table lower-cases single bytes, which cannot fold the case of
    // most UTF-16 letters: try the word in lower case too.
    const std::vector<uint8_t> lower = platform::utf8_to_utf16le_lower(word);
    if (lower != *stored) found = lookup_word(*d, lower, locale.lower_case());
  }
  if (!found.error.empty()) {
    result.err += "lexdump: " + path + ": " + found.error + "\n";
    result.status = 1;
    return;
  }
  if (found.translations.empty()) {
    result.err += "lexdump: '" + word + "' is not in " + path + "\n";
    result.status = 1;
    return;
  }
  for (const auto& t : found.translations) result.out += codec.display(t) + "\n";
}

}  // namespace

CommandOutput run_lexdump(const std::vector<std::string>& args) {
  CommandOutput result;
  bool json = false;
  std::string language;
  std::vector<std::string> words;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--help" || a == "-h") {
      result.out = kUsage;
      return result;
    }
    if (a == "--version") {
      result.out = std::string("lexdump ") + kLexdumpVersion + "\n";
      return result;
    }
    if (a == "--json") {
      json = true;
    } else if (a.starts_with("--source_language=")) {
      language = a.substr(a.find('=') + 1);
    } else if (a.size() > 1 && a[0] == '-' && a != "--" && words.size() < 2) {
      result.err = "lexdump: unknown option '" + a + "'\nTry 'lexdump --help'.\n";
      result.status = 2;
      return result;
    } else {
      words.push_back(a);
    }
  }
  const std::string command = words.empty() ? "" : words[0];
  const size_t operands = command == "lookup" ? 3 : 2;
  if ((command != "info" && command != "verify" && command != "entries" && command != "lookup") ||
      words.size() != operands) {
    result.err = command.empty()
                     ? "lexdump: no command given\n"
                     : "lexdump: usage: lexdump " +
                           std::string(command == "lookup" ? "lookup DICT.pdb WORD"
                                                           : "[--json] COMMAND DICT.pdb") +
                           "\n";
    result.err += "Try 'lexdump --help'.\n";
    result.status = 2;
    return result;
  }
  if (json && (command == "entries" || command == "lookup")) {
    result.err = "lexdump: --json applies to info and verify only\n";
    result.status = 2;
    return result;
  }
  const std::string& path = words[1];
  if (command == "info") {
    std::optional<Dictionary> d = open_dictionary(path, result);
    if (d) json ? info_json(*d, path, result.out) : info_text(*d, path, result.out);
  } else if (command == "verify") {
    run_verify(path, json, result);
  } else if (command == "entries") {
    run_entries(path, SourceLocale::select(language), result);
  } else {
    run_lookup(path, words[2], SourceLocale::select(language), result);
  }
  return result;
}

}  // namespace lexbuild::dump
