// UTF-8 word lists through whole builds: a list in UTF-8 gives the same
// database, byte for byte, as the same list in the code page of its language
// or in UTF-16LE; what no dictionary of the chosen kind can store is refused
// with its line, and lists read the wrong way draw a warning.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "platform/code_page.h"
#include "platform/unicode_text.h"
#include "support/round_trip.h"
#include "support/test_support.h"

namespace lexbuild::testing {
namespace {

constexpr int kLatin1 = 1;  // the "C" locale: each byte is the character of its code
constexpr int kUtf16 = 0;   // UTF-16LE, the 16-bit list's line ends

// The bytes of UTF-8 `text` in `code_page`, as a converter by hand would
// write them.
std::string encoded(std::string_view text, int code_page) {
  const std::vector<uint8_t> units = platform::utf8_to_utf16le(text);
  std::string out;
  if (code_page == kUtf16) {
    for (size_t i = 0; i + 1 < units.size(); i += 2) {
      if (units[i] == '\n' && units[i + 1] == 0) {
        out += "\r\n";
      } else {
        out += {static_cast<char>(units[i]), static_cast<char>(units[i + 1])};
      }
    }
    return out;
  }
  std::map<char16_t, char> byte_of;
  if (code_page == kLatin1) {
    for (int b = 1; b < 256; ++b) byte_of[static_cast<char16_t>(b)] = static_cast<char>(b);
  } else {
    std::optional<platform::CodePageTable> table = platform::load_code_page(code_page);
    if (!table) {
      ADD_FAILURE() << "no code page " << code_page;
      return out;
    }
    platform::add_windows_private_use(*table);
    for (int b = 255; b > 0; --b) {
      if (table->defined[b]) byte_of[table->units[b]] = static_cast<char>(b);
    }
  }
  for (size_t i = 0; i + 1 < units.size(); i += 2) {
    const auto unit = static_cast<char16_t>(units[i] | (units[i + 1] << 8));
    const auto it = byte_of.find(unit);
    if (it == byte_of.end()) {
      ADD_FAILURE() << "U+" << std::hex << unsigned{unit} << " is not in " << code_page;
      return out;
    }
    out += it->second;
  }
  return out;
}

// A seeded list of words and definitions made of `syllables`: every word
// within both dictionaries' limits (at most 12 characters), some definitions
// with a break escape.
std::string seeded_list(uint32_t seed, const std::vector<std::string>& syllables) {
  std::mt19937 random(seed);
  auto pick = [&] { return syllables[random() % syllables.size()]; };
  std::string list;
  for (int line = 0; line < 300; ++line) {
    std::string word = pick();
    for (int n = random() % 3; n > 0; --n) word += pick();
    std::string definition = pick();
    for (int n = random() % 12; n > 0; --n) definition += (random() % 6 ? " " : " \\n") + pick();
    list += word + "\t" + definition + "\n";
  }
  return list;
}

std::string repeated(std::string_view text, int times, std::string_view between = "") {
  std::string out;
  for (int i = 0; i < times; ++i) out += std::string(i ? between : "") + std::string(text);
  return out;
}

// Lines at the limits: a word of 25 "é" (the most an 8-bit dictionary
// stores, cut in a UTF-16 one) and a definition of 8000 "é" (the most either
// stores).
const std::string kAtTheLimits = repeated("é", 25) + "\t25\nÉtude\t" + repeated("é", 8000) + "\n";
// A definition beyond the limit, cut at a space.
const std::string kCut = "Été\t" + repeated("ç€é", 2100, " ") + "\n";

const std::vector<std::string> kFrench = {"é",   "è",  "ça", "ô",  "œu", "à", "gar", "çon", "na",
                                          "ïve", "Ré", "le", "tê", "Ét", "ß", "Äp",  "ü"};
const std::vector<std::string> kLatin = {"é",   "è",  "ça", "ô", "à",  "gar", "ÿ",
                                         "ïve", "Ré", "le", "ß", "Äp", "ü",   "Ø"};
const std::vector<std::string> kRussian = {"дом", "ё", "щ", "Мо", "ск", "ва", "Я", "зык", "ё"};
const std::vector<std::string> kGreek = {"κα", "λη", "μέ", "ρα", "ψυ", "χή", "Ελ", "ά", "ς"};
const std::vector<std::string> kEverything = {"é",  "œu", "ß", "дом", "Ё", "ψυ",
                                              "χή", "😀",  "𝄞", "ça",  "ь", "Ω"};

// The same list as CSV records under a first line of directives.
std::string as_csv(const std::string& tab_list) {
  std::string csv =
      "#@!Velmora!@# ID=[Dictée] ABOUT=[Über das\\nWörterbuch] "
      "ABBREVIATION=[n.\\nnom féminin]\n";
  for (size_t start = 0, end; (end = tab_list.find('\n', start)) != std::string::npos;
       start = end + 1) {
    const std::string line = tab_list.substr(start, end - start);
    const size_t tab = line.find('\t');
    csv += "\"" + line.substr(0, tab) + "\",\"" + line.substr(tab + 1) + "\"\n";
  }
  return csv;
}

// The lines that `lexdump entries` should give back for the list's lines
// that no limit cuts: a break escape comes back after the space the parser
// puts before its line break.
std::vector<std::string> uncut_entries(const std::string& tab_list, size_t longest_word) {
  std::vector<std::string> lines;
  for (size_t start = 0, end; (end = tab_list.find('\n', start)) != std::string::npos;
       start = end + 1) {
    std::string line = tab_list.substr(start, end - start);
    const size_t tab = line.find('\t');
    const size_t characters = platform::utf8_to_utf16le(line.substr(0, tab)).size() / 2;
    if (characters > longest_word || line.size() > 4000) continue;
    for (size_t at = tab; (at = line.find("\\n", at)) != std::string::npos; at += 3) {
      line.insert(at, " ");
    }
    lines.push_back(line);
  }
  return lines;
}

enum class Told { kOption, kByteOrderMark, kPipe };

struct Equivalence {
  std::string what;
  std::string list;                  // in UTF-8
  int reference;                     // the encoding of the same list built as before
  std::vector<std::string> options;  // of both builds
  std::vector<std::string> utf8_options;
  std::vector<std::string> reference_options;
  Told told;             // how the UTF-8 build learns its encoding
  std::string language;  // for reading back; empty: no round trip
  bool utf16 = false;
};

TEST(Utf8EndToEnd, AUtf8ListBuildsTheDatabaseOfTheSameListInItsCodePageOrUtf16) {
  const std::string summer = "été\tsummer\n";  // looked up as ÉTÉ
  const std::string french = summer + seeded_list(20261207, kFrench) + kAtTheLimits + kCut;
  const std::vector<std::string> in_french = {"--source_language=French"};
  // Line ends of every kind: CR LF, and the lone CR of old editors.
  std::string mixed_ends = seeded_list(17, kFrench);
  for (size_t at = 0, n = 0; (at = mixed_ends.find('\n', at)) != std::string::npos; ++n) {
    const std::string end = n % 3 == 0 ? "\r" : n % 3 == 1 ? "\r\n" : "\n";
    mixed_ends.replace(at, 1, end);
    at += end.size();
  }
  const Equivalence cases[] = {
      {"French, 8-bit", french, 1252, in_french, {}, {}, Told::kOption, "French"},
      {"French, --to_unicode=1",
       french,
       1252,
       {"--source_language=French", "--to_unicode=1"},
       {},
       {},
       Told::kByteOrderMark,
       "French",
       true},
      {"French at the limits, --cutlong=0",
       seeded_list(3, kFrench) + kAtTheLimits,
       1252,
       {"--source_language=French", "--cutlong=0"},
       {},
       {},
       Told::kOption,
       ""},
      {"CR LF and lone CR line ends", mixed_ends, 1252, in_french, {}, {}, Told::kOption, ""},
      {"Latin-1 in the \"C\" locale",
       seeded_list(5, kLatin),
       kLatin1,
       {},
       {},
       {},
       Told::kOption,
       ""},
      {"Russian, 8-bit",
       seeded_list(11, kRussian),
       1251,
       {"--source_language=Russian"},
       {},
       {},
       Told::kByteOrderMark,
       "Russian"},
      {"Greek, 8-bit",
       seeded_list(13, kGreek),
       1253,
       {"--source_language=Greek"},
       {},
       {},
       Told::kPipe,
       "Greek"},
      {"every script and beyond U+FFFF, --unicode=1",
       seeded_list(7, kEverything) + kCut,
       kUtf16,
       {"--source_language=French", "--unicode=1"},
       {},
       {"--source_format=tab"},
       Told::kPipe,
       "French",
       true},
      {"CSV, 8-bit", as_csv(french), 1252, in_french, {}, {}, Told::kOption, ""},
      {"CSV, --unicode=1 against --to_unicode=1",
       as_csv(french),
       1252,
       in_french,
       {"--unicode=1"},
       {"--to_unicode=1"},
       Told::kByteOrderMark,
       ""},
  };
  for (const Equivalence& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir utf8;
    RunOptions run;
    std::vector<std::string> args = {"--id=Test"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    args.insert(args.end(), c.utf8_options.begin(), c.utf8_options.end());
    switch (c.told) {
      case Told::kOption:
        write_text(utf8.file("words.txt"), c.list);
        args.insert(args.end(), {"--infile=words.txt", "--source_encoding=utf-8"});
        break;
      case Told::kByteOrderMark:
        write_text(utf8.file("words.txt"), "\xEF\xBB\xBF" + c.list);
        args.push_back("--infile=words.txt");
        break;
      case Told::kPipe:
        run.input = c.list;
        args.insert(args.end(), {"--infile=-", "--source_encoding=UTF8"});
        break;
    }
    const ProgramResult built = run_lexbuild(utf8, args, run);
    ASSERT_EQ(built.status, 0) << built.out;
    EXPECT_EQ(built.out.find("looks like"), std::string::npos) << built.out;

    TempDir before;
    write_text(before.file("words.txt"), encoded(c.list, c.reference));
    std::vector<std::string> reference_args = {"--id=Test", "--infile=words.txt"};
    reference_args.insert(reference_args.end(), c.options.begin(), c.options.end());
    reference_args.insert(reference_args.end(), c.reference_options.begin(),
                          c.reference_options.end());
    const ProgramResult reference = run_lexbuild(before, reference_args);
    ASSERT_EQ(reference.status, 0) << reference.out;
    EXPECT_EQ(database_without_dates(read_bytes(utf8.file("Test.pdb"))),
              database_without_dates(read_bytes(before.file("Test.pdb"))));

    if (c.language.empty()) continue;
    const ProgramResult entries =
        run_lexdump({"entries", "--source_language=" + c.language, utf8.file("Test.pdb")});
    ASSERT_EQ(entries.status, 0) << entries.err;
    for (const std::string& line : uncut_entries(c.list, c.utf16 ? 12 : 25)) {
      EXPECT_NE(entries.out.find(line + "\n"), std::string::npos) << line;
    }
    if (c.list.starts_with(summer) && !c.utf16) {
      const ProgramResult found =
          run_lexdump({"lookup", "--source_language=" + c.language, utf8.file("Test.pdb"), "ÉTÉ"});
      EXPECT_EQ(found.out, "summer\n") << found.err;
    }
  }
}

// What the dictionary cannot store ends the build before anything is written.
TEST(Utf8EndToEnd, WhatTheDictionaryCannotStoreIsRefusedWithItsLine) {
  const std::string cannot =
      "build a UTF-16 dictionary with --unicode=1, or choose a "
      "--source_language whose codepage has them\n";
  const std::string invalid =
      "; save the list as UTF-8, or, for a list in the codepage of "
      "--source_language, give neither --source_encoding=utf-8 nor a "
      "byte-order mark\n";
  const struct {
    std::string source;
    std::vector<std::string> options;
    std::string message;
  } cases[] = {
      {"été\tsummer\r\nдом\thouse\r\nsmile 😀\tgrin\r\n",
       {"--source_encoding=utf-8", "--source_language=French"},
       "4 characters of words.txt have no byte in codepage 1252 of --source_language=French:\n"
       "  line 2: 'д' U+0434\n  line 2: 'о' U+043E\n  line 2: 'м' U+043C\n"
       "  line 3: '😀' U+1F600\n" +
           cannot},
      {"\"a\",\"b\"\n\"€uro\",\"Москва\"\n",
       {"--source_encoding=utf-8"},
       "7 characters of words.txt have no byte in the \"C\" locale (no --source_language), which "
       "stores U+0001 to U+00FF:\n  line 2: '€' U+20AC\n  line 2: 'М' U+041C\n"
       "  line 2: 'о' U+043E\n  line 2: 'с' U+0441\n  line 2: 'к' U+043A\n  and 2 more\n" +
           cannot},
      {"ok\tfine\nbad\xC3(\tx\n",
       {"--source_encoding=utf-8", "--unicode=1"},
       "words.txt is read as UTF-8, but line 2 is not valid UTF-8 at byte 4 of the line "
       "(C3 28 09 78)" +
           invalid},
      {"\xEF\xBB\xBF"
       "caf\xE9\tcoffee\n",
       {"--source_language=French"},
       "words.txt is read as UTF-8, but line 1 is not valid UTF-8 at byte 4 of the line "
       "(E9 09 63 6F)" +
           invalid},
      {"#@!Velmora!@# ABOUT=[Слово]\n\"a\",\"b\"\n",
       {"--source_encoding=utf-8", "--unicode=1", "--source_language=French"},
       "5 characters of words.txt have no byte in codepage 1252 of --source_language=French:\n"
       "  line 1: 'С' U+0421\n  line 1: 'л' U+043B\n  line 1: 'о' U+043E\n"
       "  line 1: 'в' U+0432\n  line 1: 'о' U+043E\n"
       "the first line's ABOUT=, ABBREVIATION= and ID= texts are stored in the codepage in "
       "every dictionary: choose a --source_language whose codepage has them, or leave them "
       "out of those texts\n"},
      {"#@!Velmora!@# ABOUT=[Слово]\n\"a\",\"b\"\n",
       {"--source_encoding=utf-8", "--source_language=French"},
       "5 characters of words.txt have no byte in codepage 1252 of --source_language=French:\n"
       "  line 1: 'С' U+0421\n  line 1: 'л' U+043B\n  line 1: 'о' U+043E\n"
       "  line 1: 'в' U+0432\n  line 1: 'о' U+043E\n"
       "the first line's ABOUT=, ABBREVIATION= and ID= texts are stored in the codepage in "
       "every dictionary: choose a --source_language whose codepage has them, or leave them "
       "out of those texts\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    TempDir dir;
    write_text(dir.file("words.txt"), c.source);
    std::vector<std::string> args = {"--infile=words.txt", "--id=Test"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const ProgramResult r = run_lexbuild(dir, args);
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_TRUE(r.out.ends_with("\nlexbuild error: " + c.message)) << r.out;
    EXPECT_EQ(list_folder(dir.path()), std::vector<std::string>{"words.txt"});
  }
}

// A list read in a way that garbles it builds (or is refused) as it always
// was, with one warning that names the option to add; lists read right draw
// none.
TEST(Utf8EndToEnd, AListReadTheWrongWayDrawsOneWarning) {
  const std::string list = "côté\tside\nдом\thouse\n";
  const std::string utf8_as_8bit =
      "words.txt looks like UTF-8: read in a codepage, each of its accented or other non-ASCII "
      "characters becomes several wrong ones; add --source_encoding=utf-8";
  const std::string bytes_as_16bit =
      "words.txt looks like 8-bit text, which is read as 16-bit Unicode (UTF-16) with "
      "--unicode=1; give --unicode=0 (or --source_encoding=utf-8 for a UTF-8 list)";
  const struct {
    std::string source;
    std::vector<std::string> options;
    std::string warning;  // empty: none
  } cases[] = {
      {list, {"--source_language=Russian"}, utf8_as_8bit},
      {as_csv(list), {"--to_unicode=1"}, utf8_as_8bit},
      {list, {"--unicode=1", "--source_format=tab"}, bytes_as_16bit},
      {encoded("côté\tside\n", 1252), {"--unicode=1", "--source_format=tab"}, bytes_as_16bit},
      {encoded("côté\tside\n", 1252), {"--source_language=French"}, ""},
      {encoded(list, kUtf16), {"--unicode=1", "--source_format=tab"}, ""},
      {list, {"--source_encoding=utf-8", "--unicode=1"}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source);
    TempDir dir;
    write_text(dir.file("words.txt"), c.source);
    std::vector<std::string> args = {"--infile=words.txt"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const ProgramResult r = run_lexbuild(dir, args);
    const size_t at = r.out.find("lexbuild: words.txt looks like");
    if (c.warning.empty()) {
      EXPECT_EQ(r.status, 0) << r.out;
      EXPECT_EQ(at, std::string::npos) << r.out;
    } else {
      EXPECT_NE(r.out.find("lexbuild: " + c.warning + "\n"), std::string::npos) << r.out;
      EXPECT_EQ(r.out.find("lexbuild: words.txt looks like", at + 1), std::string::npos) << r.out;
    }
  }
}

}  // namespace
}  // namespace lexbuild::testing
