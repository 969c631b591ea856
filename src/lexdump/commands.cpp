#include "lexdump/commands.h"

#include <array>
#include <cstdio>
#include <optional>
#include <string_view>

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
    "Usage: lexdump [OPTION]... COMMAND DICT.pdb [WORD]\n"
    "Reads a dictionary database back the way the handheld reader does.\n"
    "DICT.pdb may be -, for the database on standard input.\n"
    "\n"
    "Commands:\n"
    "  info DICT.pdb          the database header with its dates, the header record's\n"
    "                         fields, chunk and compression figures, word table nodes\n"
    "                         per level\n"
    "  verify DICT.pdb        checks every structural rule the reader relies on and\n"
    "                         looks every stored word up; says what it checks and what\n"
    "                         the format cannot show\n"
    "  entries DICT.pdb       every entry as word, TAB, translation, one per line;\n"
    "                         line breaks in a translation are written as \\n\n"
    "  lookup DICT.pdb WORD   finds WORD through the word table and prints its\n"
    "                         translation; a word stored only as numbered pieces\n"
    "                         prints each piece as word, TAB, translation\n"
    "\n"
    "Options:\n"
    "  --json                   machine-readable output for info and verify\n"
    "  --source_language=LANG   the language the dictionary was built with (as given\n"
    "                           to lexbuild; 'lexbuild --help source_language' lists\n"
    "                           them): lookup and verify lower-case words by its\n"
    "                           rules, and 8-bit text is converted from and to UTF-8\n"
    "                           through its code page\n"
    "  -h, --help               display this help and exit\n"
    "      --version            output version information and exit\n"
    "\n"
    "Dictionaries are written and looked up in UTF-8: 8-bit ones through the code\n"
    "page of --source_language (without it, each byte is the character U+0001 to\n"
    "U+00FF of that number, as lexbuild stores them then).\n"
    "\n"
    "Exit status: 0 when the command succeeded, 1 when the database cannot be read\n"
    "or is damaged or the word is not found, 2 when the command line is wrong.\n";

// Follows the version line.
constexpr char kVersionNotice[] =
    "Copyright (c) 2026 the lexbuild developers\n"
    "License MIT: the file COPYING that comes with lexbuild.\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";

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
  out += "created:           " + std::to_string(p.creation_date) + " = " +
         build_date_text(p.creation_date) + " UTC\n";
  out += "modified:          " + std::to_string(p.modification_date) + " = " +
         build_date_text(p.modification_date) + " UTC\n";
  out +=
      "                   (dates as stored; UTC = stored - 2,082,859,196 s, the offset\n"
      "                   lexbuild adds to the Unix time; read from 1904-01-01 without\n"
      "                   that rule, as Palm OS does, they show " +
      palm_date_text(p.creation_date) + ")\n";
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
  j.field("created", build_date_text(p.creation_date) + " UTC");
  j.field("modified", build_date_text(p.modification_date) + " UTC");
  j.field("created_stored", p.creation_date);
  j.field("modified_stored", p.modification_date);
  j.field("date_rule", std::string("UTC = stored - 2082859196 s (lexbuild's offset to Unix time)"));
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
  if (path == "-") {
    // The database on standard input, read whole.
    platform::InputFile in;
    if (in.open_standard_input()) {
      std::array<uint8_t, 65536> block;
      for (size_t n; (n = in.read(block.data(), block.size())) > 0;) {
        bytes.insert(bytes.end(), block.begin(), block.begin() + static_cast<ptrdiff_t>(n));
      }
    }
    if (in.is_open() && !in.failed()) return bytes;
    error = in.error_code();
  } else if (platform::read_file(path, bytes, &error)) {
    return bytes;
  }
  result.err += "lexdump: cannot read " + (path == "-" ? std::string("standard input") : path) +
                ": " + platform::error_text(error) + "\n";
  result.status = 1;
  return std::nullopt;
}

std::optional<Dictionary> open_dictionary(const std::string& path, CommandOutput& result) {
  auto bytes = read_database(path, result);
  if (!bytes) return std::nullopt;
  Findings findings;
  std::optional<Dictionary> d = Dictionary::open(std::move(*bytes), findings);
  if (!d) {
    const std::string detail = findings.empty() ? std::string() : findings.front().detail;
    constexpr std::string_view kNotPalm = "not a Palm database";
    if (detail.starts_with(kNotPalm)) {
      result.err += "lexdump: " + path + " is " + std::string(kNotPalm) + " (" +
                    detail.substr(kNotPalm.size() + 2) + ")\n";
    } else {
      result.err += "lexdump: " + path + " is not a readable dictionary database";
      if (!detail.empty()) result.err += ": " + detail;
      result.err += "\n";
    }
    result.status = 1;
  }
  return d;
}

// `language` is empty when the case rules are to be read off the word table.
void run_verify(const std::string& path, const std::string& language, const SourceLocale& locale,
                bool json, CommandOutput& result) {
  auto bytes = read_database(path, result);
  if (!bytes) return;
  const VerifyReport report =
      verify_database(std::move(*bytes), language.empty() ? nullptr : &locale.lower_case());
  result.status = report.findings.empty() ? 0 : 1;
  const auto& repeated = report.repeated_keys;
  const size_t repeated_total = repeated[0] + repeated[1] + repeated[2] + repeated[3];
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
    j.field("lookup_checked", report.lookup_checked);
    j.key("repeated_keys");
    j.begin_array();
    for (size_t n : repeated) j.value(n);
    j.end_array();
    j.field("missed_by_first_node_reader", report.missed_by_first_node);
    j.field("checked", std::string(kVerifyChecks));
    j.field("not_checked", std::string(kVerifyLimits));
    j.end_object();
    result.out += "\n";
    return;
  }
  for (const Finding& f : report.findings) result.out += f.rule + ": " + f.detail + "\n";
  if (report.lookup_checked) {
    result.out += "lookup: all " + std::to_string(report.entries) +
                  " stored words are found through the word table (" +
                  (language.empty() ? std::string("the case rules its keys show")
                                    : "the case rules of " + language) +
                  ")\n";
    char line[200];
    std::snprintf(line, sizeof line,
                  "information: %zu key%s stand%s in more than one word-table node (levels 1-4: "
                  "%zu, %zu, %zu, %zu); a reader that searches only the first node of a key "
                  "misses %zu word%s\n",
                  repeated_total, repeated_total == 1 ? "" : "s", repeated_total == 1 ? "s" : "",
                  repeated[0], repeated[1], repeated[2], repeated[3], report.missed_by_first_node,
                  report.missed_by_first_node == 1 ? "" : "s");
    result.out += line;
  }
  result.out += std::string("checked: ") + kVerifyChecks + "\n";
  result.out += std::string("not checked: ") + kVerifyLimits + "\n";
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
    result.err += "lexdump: " + path + " is damaged: " + error + "\n";
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
  if (found.error.empty() && found.hits.empty() && d->unicode()) {
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
  if (found.hits.empty()) {
    result.err += "lexdump: '" + word + "' is not in " + path + "\n";
    result.status = 1;
    return;
  }
  for (const LookupHit& hit : found.hits) {
    // A definition cut into pieces: each piece under its own word, as
    // `entries` writes them.
    if (hit.piece > 0) {
      result.out +=
          escaped(codec.display(hit.word)) + "\t" + escaped(codec.display(hit.translation)) + "\n";
    } else {
      result.out += codec.display(hit.translation) + "\n";
    }
  }
}

}  // namespace

CommandOutput run_lexdump(const std::vector<std::string>& args) {
  CommandOutput result;
  bool json = false;
  std::string language;
  std::vector<std::string> words;
  bool options_end = false;  // after "--" every argument is an operand
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (options_end || a == "-") {
      words.push_back(a);
      continue;
    }
    if (a == "--") {
      options_end = true;
      continue;
    }
    if (a == "--help" || a == "-h") {
      result.out = kUsage;
      return result;
    }
    if (a == "--version") {
      result.out = std::string("lexdump (lexbuild) ") + kLexdumpVersion + "\n" + kVersionNotice;
      return result;
    }
    if (a == "--json") {
      json = true;
    } else if (a.starts_with("--source_language=")) {
      language = a.substr(a.find('=') + 1);
    } else if (a[0] == '-' && words.size() < 2) {
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
  const SourceLocale locale = SourceLocale::select(language);
  if (locale.language() == SourceLocale::Language::kUnknown) {
    // Another language's rules would find other words, or none: say so.
    result.err = "lexdump: the language '" + language +
                 "' is not known; 'lexbuild --help source_language' lists the names\n";
    result.status = 2;
    return result;
  }
  const std::string& path = words[1];
  if (command == "info") {
    std::optional<Dictionary> d = open_dictionary(path, result);
    if (d) {
      json ? info_json(*d, path, result.out) : info_text(*d, path, result.out);
      // The figures of a damaged file describe only what could be read.
      std::string damage;
      if (!d->entries(damage)) {
        result.err += "lexdump: " + path + " is damaged: " + damage + "\n";
        result.status = 1;
      }
    }
  } else if (command == "verify") {
    run_verify(path, language, locale, json, result);
  } else if (command == "entries") {
    run_entries(path, locale, result);
  } else {
    run_lookup(path, words[2], locale, result);
  }
  return result;
}

}  // namespace lexbuild::dump
