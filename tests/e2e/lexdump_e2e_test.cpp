// lexdump on databases that lexbuild built: every kind of build verifies and
// reads back to its entries, words are found the reader's way, and damaged
// files are reported without a crash.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

#include "compiler/byte_order.h"
#include "compiler/crc32.h"
#include "intake/source_locale.h"
#include "lexdump/lookup.h"
#include "lexdump/verify.h"
#include "support/pdb_builder.h"
#include "support/round_trip.h"
#include "support/test_support.h"

namespace lexbuild::testing {
namespace {

class LexdumpEndToEnd : public ::testing::Test {
 protected:
  TempDir dir_;
  TempDir work_;

  ProgramResult build(const std::vector<std::string>& args) {
    RunOptions options;
    options.env["TEMP"] = work_.path();
    options.env["TMP"] = work_.path();
    return run_lexbuild(dir_, args, options);
  }
  std::string db(const std::string& name) { return dir_.file(name); }
};

// The entries of a TAB source as the parser stores them: spaces around word
// and translation go, and each break escape becomes a space and a line feed,
// which lexdump writes as the break escape again.
std::vector<std::string> normalised_lines(const std::string& source) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < source.size()) {
    size_t end = source.find("\r\n", start);
    if (end == std::string::npos) end = source.size();
    std::string line = source.substr(start, end - start);
    start = end + 2;
    const size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    std::string translation = line.substr(tab + 1);
    for (size_t at; (at = translation.find("\\n")) != std::string::npos;) {
      translation.replace(at, 2, std::string(" \x01", 2));
    }
    std::replace(translation.begin(), translation.end(), '\x01', '\n');
    std::string escaped;
    for (char c : translation) escaped += c == '\n' ? std::string("\\n") : std::string(1, c);
    lines.push_back(line.substr(0, tab) + "\t" + escaped);
  }
  return lines;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
       start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

TEST_F(LexdumpEndToEnd, EveryWordOfTheSampleIsFoundWithItsOwnTranslation) {
  const std::string source = read_text(LEXBUILD_SOURCE_DIR "/examples/sample.tab");
  write_text(dir_.file("sample.tab"), source);
  std::string utf8_source;  // the source is in code page 1252
  for (unsigned char c : source) {
    if (c < 0x80) {
      utf8_source += static_cast<char>(c);
    } else {
      ASSERT_GE(c, 0xA0) << "the sample holds only Latin-1 letters beyond ASCII";
      utf8_source += static_cast<char>(0xC0 | (c >> 6));
      utf8_source += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  ASSERT_EQ(build({"--infile=sample.tab", "--id=Sample", "--source_language=English"}).status, 0);

  const ProgramResult verify = run_lexdump({"verify", db("Sample.pdb")});
  EXPECT_EQ(verify.status, 0) << verify.out;
  // The entries as stored, in the dictionary's order: the source's lines, sorted.
  // Through the dictionary's code page: entries in UTF-8, words typed in UTF-8.
  const ProgramResult entries =
      run_lexdump({"entries", "--source_language=English", db("Sample.pdb")});
  ASSERT_EQ(entries.status, 0);
  std::vector<std::string> stored = lines_of(entries.out);
  std::vector<std::string> expected = normalised_lines(utf8_source);
  ASSERT_EQ(stored.size(), expected.size());
  std::vector<std::string> sorted_stored = stored;
  std::sort(sorted_stored.begin(), sorted_stored.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(sorted_stored, expected);
  EXPECT_TRUE(stored.front().starts_with("abacus\t"));

  for (const std::string& line : stored) {
    const std::string word = line.substr(0, line.find('\t'));
    std::string translation = line.substr(line.find('\t') + 1);
    for (size_t at; (at = translation.find("\\n")) != std::string::npos;)
      translation.replace(at, 2, "\n");
    const ProgramResult found =
        run_lexdump({"lookup", "--source_language=English", db("Sample.pdb"), word});
    ASSERT_EQ(found.status, 0) << word << ": " << found.err;
    EXPECT_EQ(found.out, translation + "\n") << word;
  }
  // Typed in UTF-8 and in another case, through the dictionary's code page.
  const ProgramResult accented =
      run_lexdump({"lookup", "--source_language=English", db("Sample.pdb"), "CAFÉ"});
  EXPECT_EQ(accented.out, "a small restaurant serving coffee and light meals\n");
  const ProgramResult absent = run_lexdump({"lookup", db("Sample.pdb"), "zebu"});
  EXPECT_EQ(absent.status, 1);
  EXPECT_EQ(absent.err, "lexdump: 'zebu' is not in " + db("Sample.pdb") + "\n");
}

// A French-like list in UTF-8: e-words whose second letter is often
// accented (a divided e-node whose children repeat keys), and words under
// initials that sort among their plain letters (repeated level-1 keys).
std::string french_like_list(uint32_t seed, int entries) {
  const std::vector<std::string> initials = {"a", "à", "â", "À", "b", "c", "ç", "Ç", "d", "e",
                                             "é", "è", "ê", "É", "f", "i", "î", "o", "ô", "u"};
  const std::vector<std::string> seconds = {"e", "é", "è", "r", "s", "n", "ê", "x"};
  const std::vector<std::string> syllables = {"ra", "lé", "mon", "çi", "tè", "quê", "ver",
                                              "oi", "nu", "gé",  "bâ", "zo", "fî",  "ûr"};
  std::mt19937 random(seed);
  std::string list;
  for (int i = 0; i < entries; ++i) {
    std::string word = i % 2 == 0 ? "e" + seconds[random() % seconds.size()]
                                  : initials[random() % initials.size()];
    for (int n = 1 + static_cast<int>(random() % 3); n > 0; --n) {
      word += syllables[random() % syllables.size()];
    }
    list += word + std::to_string(i) + "\tsens " + std::to_string(i) + "\r\n";
  }
  return list;
}

// Builds that give keys standing in more than one node; every stored word is
// found, through verify's check and through lookup itself, while a reader
// that follows only the first node of a key would miss some.
TEST_F(LexdumpEndToEnd, EveryStoredWordIsFoundWhereKeysRepeat) {
  write_text(dir_.file("sample.tab"), read_text(LEXBUILD_SOURCE_DIR "/examples/sample.tab"));
  write_text(dir_.file("french.tab"), french_like_list(11, 3000));
  struct Row {
    const char* id;
    std::vector<std::string> options;
    const char* language;
    const char* verify_lines;  // byte-exact, or empty for any
    bool repeats;              // whether a key stands in more than one node
  };
  const std::vector<Row> rows = {
      {"SampleU",
       {"--infile=sample.tab", "--to_unicode=1", "--source_language=English"},
       "English",
       "lookup: all 361 stored words are found through the word table (the case rules of "
       "English)\n"
       "information: 1 key stands in more than one word-table node (levels 1-4: 1, 0, 0, 0); a "
       "reader that searches only the first node of a key misses 14 words\n",
       true},
      {"French8",
       {"--infile=french.tab", "--source_encoding=utf-8", "--source_language=French"},
       "French",
       "",
       false},  // the 8-bit sort keeps each initial's words together
      {"FrenchU",
       {"--infile=french.tab", "--source_encoding=utf-8", "--to_unicode=1",
        "--source_language=French"},
       "French",
       "",
       true},
  };
  for (const Row& row : rows) {
    std::vector<std::string> options = row.options;
    options.push_back(std::string("--id=") + row.id);
    ASSERT_EQ(build(options).status, 0) << row.id;
    const std::string path = db(std::string(row.id) + ".pdb");
    const ProgramResult verify =
        run_lexdump({"verify", std::string("--source_language=") + row.language, path});
    EXPECT_EQ(verify.status, 0) << row.id << verify.out;
    if (*row.verify_lines) {
      EXPECT_NE(verify.out.find(row.verify_lines), std::string::npos) << row.id << verify.out;
    }
    // Without the language, the case rules the keys show.
    EXPECT_EQ(run_lexdump({"verify", path}).status, 0) << row.id;

    const std::vector<uint8_t> bytes = read_bytes(path);
    const dump::VerifyReport report = dump::verify_database(bytes);
    EXPECT_EQ(report.missed_by_first_node > 0, row.repeats) << row.id;
    dump::Findings findings;
    const auto d = dump::Dictionary::open(bytes, findings);
    ASSERT_TRUE(d);
    std::string error;
    const auto entries = d->entries(error);
    ASSERT_TRUE(entries) << error;
    const SourceLocale locale = SourceLocale::select(row.language);
    // Lookup itself, on every 7th word (verify has looked every word up).
    size_t tried = 0;
    size_t found = 0;
    for (size_t i = 0; i < entries->size(); i += 7, ++tried) {
      const dump::StoredEntry& e = (*entries)[i];
      const dump::LookupResult r = dump::lookup_word(*d, e.word, locale.lower_case());
      found += std::any_of(r.hits.begin(), r.hits.end(),
                           [&e](const auto& hit) { return hit.translation == e.translation; });
    }
    EXPECT_EQ(found, tried) << row.id;
  }
  EXPECT_EQ(run_lexdump({"lookup", "--source_language=English", db("SampleU.pdb"), "anvil"}).out,
            "an iron block on which metal is hammered into shape\n");
}

TEST_F(LexdumpEndToEnd, CsvWithDirectivesOptionalRecordsAndExtras) {
  write_text(dir_.file("words.csv"),
             "#@!Velmora!@# ID=[Csv] LARGEFONT=[1] ABOUT=[Made by\\nus] ABBREVIATION=[n. noun]\r\n"
             "\"owl\",\"a bird\",\"of the night\"\r\n\"ant\",\"an insect\"\r\nyak\r\n");
  write_bytes(dir_.file("trans.fnt"), {1, 2, 3});
  write_bytes(dir_.file("kbd.bin"), {4, 5});
  write_bytes(work_.file("_fntWords.txt"), {6});
  write_bytes(dir_.file("text.fnt"), std::vector<uint8_t>(1001, 7));
  write_bytes(dir_.file("list.fnt"), {8, 9});
  const ProgramResult r = build({"--infile=words.csv", "--fontfile=trans.fnt", "--kbdfile=kbd.bin",
                                 "--font_textHR=text.fnt", "--font_listHR=list.fnt",
                                 "--pictures_db=Pictures", "--allow_html=1"});
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(round_trips_lines(db("none.pdb"),
                                {"ant\tan insect", "owl\ta bird \\nof the night", "yak\t"}));
  const ProgramResult info = run_lexdump({"info", db("none.pdb")});
  EXPECT_NE(info.out.find("name:              Csv\n"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("large font:        yes\n"), std::string::npos);
  EXPECT_NE(info.out.find("pictures database: Pictures\n"), std::string::npos);
  EXPECT_NE(info.out.find("about 6, abbreviations 7, list font 8, translation font 9, keyboard 10"),
            std::string::npos)
      << info.out;
  EXPECT_NE(info.out.find("high-resolution text font 11, list font 12"), std::string::npos);
  // The dates as stored and as calendar time by the builder's rule (a time()
  // of 1,000,000,000 is stored as 3,082,859,196).
  std::vector<uint8_t> dated = read_bytes(db("none.pdb"));
  put_be32(dated.data() + 36, 3082859196u);
  put_be32(dated.data() + 40, 3082859196u);
  write_bytes(db("dated.pdb"), dated);
  const ProgramResult dates = run_lexdump({"info", db("dated.pdb")});
  EXPECT_NE(dates.out.find("created:           3082859196 = 2001-09-09 01:46:40 UTC\n"
                           "modified:          3082859196 = 2001-09-09 01:46:40 UTC\n"
                           "                   (dates as stored; UTC = stored - 2,082,859,196 s, "
                           "the offset\n                   lexbuild adds to the Unix time; read "
                           "from 1904-01-01 without\n                   that rule, as Palm OS "
                           "does, they show 2001-09-09 05:46:36)\n"),
            std::string::npos)
      << dates.out;
  const ProgramResult json = run_lexdump({"--json", "info", db("none.pdb")});
  EXPECT_NE(json.out.find("\"about_record\":6,"), std::string::npos) << json.out;
  // The about text, with its break escape as a space.
  const PdbContents pdb = split_pdb(read_bytes(db("none.pdb")));
  // The directive files end with a zero byte, and the records add their own.
  EXPECT_EQ(pdb.records[6], bytes_of(std::string("Made by us\0\0", 12)));
  EXPECT_EQ(pdb.records[7], bytes_of(std::string("n. noun\0\0", 9)));
}

TEST_F(LexdumpEndToEnd, Utf16DictionariesReadAndLookUpInUtf8) {
  // кот, собака, ёж and their translations in code page 1251.
  write_bytes(dir_.file("ru.tab"),
              hex_bytes("F1 EE E1 E0 EA E0 09 E4 EE EC E0 F8 ED E5 E5 0D 0A"  // собака домашнее
                        "EA EE F2 09 E6 E8 E2 EE F2 ED EE E5 0D 0A"  // кот животное
                        "B8 E6 09 E5 E6 0D 0A"));                    // ёж еж
  ASSERT_EQ(build({"--infile=ru.tab", "--to_unicode=1", "--source_language=Russian"}).status, 0);
  EXPECT_TRUE(round_trips_lines(db("none.pdb"), {"ёж\tеж", "кот\tживотное", "собака\tдомашнее"}));
  const ProgramResult found =
      run_lexdump({"lookup", "--source_language=Russian", db("none.pdb"), "КОТ"});
  EXPECT_EQ(found.status, 0) << found.err;
  EXPECT_EQ(found.out, "животное\n");
  EXPECT_EQ(run_lexdump({"lookup", db("none.pdb"), "собака"}).out, "домашнее\n");
  // "-" reads the database from standard input.
  RunOptions piped;
  const std::vector<uint8_t> bytes = read_bytes(db("none.pdb"));
  piped.input = std::string(bytes.begin(), bytes.end());
  const ProgramResult from_pipe = run_program(LEXDUMP_BINARY, {"entries", "-"}, piped);
  EXPECT_EQ(from_pipe.status, 0) << from_pipe.err;
  EXPECT_EQ(from_pipe.out, run_lexdump({"entries", db("none.pdb")}).out);
}

TEST_F(LexdumpEndToEnd, PiecesOfALongDefinitionAndADeepWordTable) {
  std::string source = "k\t" + std::string(3999, 'x') + " " + std::string(4001, 'y') + "\r\n";
  // 3,000 a-words: the a-group is divided by the second and third letters.
  std::vector<std::string> a_words;
  for (int i = 0; i < 3000; ++i) {
    std::string w = "a";
    w += static_cast<char>('a' + i % 3);
    w += static_cast<char>('a' + (i / 3) % 26);
    w += std::to_string(i);
    a_words.push_back(w);
    source += w + "\tmeaning " + std::to_string(i) + "\r\n";
  }
  write_text(dir_.file("long.tab"), source);
  ASSERT_EQ(build({"--infile=long.tab"}).status, 0);
  const ProgramResult verify = run_lexdump({"verify", db("none.pdb")});
  EXPECT_EQ(verify.status, 0) << verify.out;
  const std::vector<std::string> lines = lines_of(run_lexdump({"entries", db("none.pdb")}).out);
  ASSERT_EQ(lines.size(), 3002u);
  EXPECT_EQ(lines[3000], "k [1]\t" + std::string(3999, 'x'));
  EXPECT_EQ(lines[3001], "k [2]\t" + std::string(4001, 'y'));
  const ProgramResult info = run_lexdump({"info", db("none.pdb")});
  EXPECT_EQ(info.out.find("levels 1-4: 2, 0,"), std::string::npos) << "deeper levels: " << info.out;
  for (int i : {0, 1, 1234, 2999}) {
    EXPECT_EQ(run_lexdump({"lookup", db("none.pdb"), a_words[i]}).out,
              "meaning " + std::to_string(i) + "\n");
  }
  EXPECT_EQ(run_lexdump({"lookup", db("none.pdb"), "k [2]"}).out, std::string(4001, 'y') + "\n");
  // The word itself is stored only as its pieces.
  EXPECT_EQ(run_lexdump({"lookup", db("none.pdb"), "K"}).out,
            "k [1]\t" + std::string(3999, 'x') + "\nk [2]\t" + std::string(4001, 'y') + "\n");
}

// A database damaged in one way, the rule verify must name, and whether the
// entries can still be read.
struct Damage {
  const char* name;
  const char* rule;
};

TEST_F(LexdumpEndToEnd, DamagedDatabasesAreReportedAndNeverCrashAnyCommand) {
  std::string source;
  for (int i = 0; i < 200; ++i)
    source += "w" + std::to_string(1000 + i) + "\tsome text " + std::to_string(i) + "\r\n";
  write_text(dir_.file("w.tab"), source);
  ASSERT_EQ(build({"--infile=w.tab"}).status, 0);
  const std::vector<uint8_t> good = read_bytes(db("none.pdb"));
  const PdbContents pdb = split_pdb(good);

  std::map<std::string, std::vector<uint8_t>> damaged;
  damaged["truncated"] = std::vector<uint8_t>(good.begin(), good.begin() + good.size() / 2);
  damaged["chunk"] = good;
  damaged["chunk"][pdb.offsets[4] + 110 + 7] ^= 0xFF;
  damaged["crc"] = good;
  damaged["crc"][pdb.offsets[0] + 30] ^= 1;
  damaged["record-number"] = good;
  put_be16(damaged["record-number"].data() + pdb.offsets[0] + 14, 999);
  const std::span<uint8_t> header(damaged["record-number"].data() + pdb.offsets[0], 550);
  put_le32(header.data() + 546, crc32(header.first(546)));

  const std::map<std::string, std::string> rules = {{"truncated", "record-"},
                                                    {"chunk", "chunk-"},
                                                    {"crc", "header-crc: "},
                                                    {"record-number", "record-numbers: "}};
  for (const auto& [name, bytes] : damaged) {
    write_bytes(db(name + ".pdb"), bytes);
    const ProgramResult verify = run_lexdump({"verify", db(name + ".pdb")});
    EXPECT_EQ(verify.status, 1) << name;
    EXPECT_NE(verify.out.find(rules.at(name)), std::string::npos) << name << ":\n" << verify.out;
    // A file that cannot be read whole is never a success, nor a partial list.
    const bool unreadable = name != "crc";
    for (const char* command : {"info", "entries"}) {
      const ProgramResult r = run_lexdump({command, db(name + ".pdb")});
      EXPECT_EQ(r.status, unreadable ? 1 : 0) << name << " " << command << r.err;
      if (unreadable) {
        EXPECT_TRUE(r.err.starts_with("lexdump: " + db(name + ".pdb") + " is damaged: ")) << r.err;
      }
      if (unreadable && std::string(command) == "entries") {
        EXPECT_EQ(r.out, "") << name;
      }
    }
    const ProgramResult r = run_lexdump({"lookup", db(name + ".pdb"), "w1100"});
    EXPECT_LE(r.status, 1) << name << " lookup crashed";
  }
}

}  // namespace
}  // namespace lexbuild::testing
