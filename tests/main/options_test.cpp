#include "main/options.h"

#include <gtest/gtest.h>

#include "driver/report.h"

namespace lexbuild {
namespace {

// Parses `args` (without the program path) into fresh settings.
struct Parsed {
  Settings settings = init_settings_with_work_folder("/dictionaries");
  StringConsole console;
  bool go_on = false;
};

Parsed parse(std::vector<std::string> args) {
  Parsed p;
  args.insert(args.begin(), "lexbuild");
  p.go_on = parse_options(args, p.settings, p.console);
  return p;
}

// The fatal report that parsing `args` raises, or "" when none.
std::string fatal_of(std::vector<std::string> args) {
  try {
    parse(std::move(args));
  } catch (const FatalError& e) {
    EXPECT_EQ(e.exit_status(), 1);
    return e.output();
  }
  return "";
}

constexpr char kSyntaxWrong[] = "lexbuild error: Command line syntax is wrong\n";

TEST(Options, DefaultsStandWithoutArguments) {
  Parsed p = parse({});
  EXPECT_TRUE(p.go_on);
  EXPECT_EQ(p.settings.infile, "none.csv");
  EXPECT_EQ(p.settings.outfile, "none.pdb");
  EXPECT_EQ(p.settings.id, "none");
  EXPECT_EQ(p.settings.source_format, ".csv");
  EXPECT_EQ(p.settings.cutlong, 1);
  EXPECT_EQ(p.settings.abbrfile, "/dictionaries/_abbr.txt");
  EXPECT_EQ(p.settings.fontfile, "/dictionaries/_fnt_trans.txt");
  EXPECT_EQ(p.settings.aboutfile, "/dictionaries/_about.txt");
  EXPECT_EQ(p.settings.kbdfile, "/dictionaries/_kbd.txt");
  EXPECT_FALSE(p.settings.id_given || p.settings.abbrfile_given || p.settings.aboutfile_given ||
               p.settings.largefont_given);
  EXPECT_EQ(p.console.text(), "");
}

TEST(Options, NamesMatchAnywhereInAnyCaseAndValuesKeepTheirCase) {
  Parsed p = parse({"x--DEBUG", "--Infile=My.CSV", "--ID=a=b", "--Source_Format=tab",
                    "--font_textLR=f.fnt", "--kbdfile=k", "--source_language=Russian"});
  EXPECT_TRUE(p.go_on);
  EXPECT_TRUE(p.settings.debug);
  EXPECT_EQ(p.settings.infile, "My.CSV");
  EXPECT_EQ(p.settings.id, "a=b");
  EXPECT_TRUE(p.settings.id_given);
  EXPECT_EQ(p.settings.source_format, ".tab");
  EXPECT_EQ(p.settings.fontfile, "f.fnt");
  EXPECT_EQ(p.settings.kbdfile, "k");
  EXPECT_EQ(p.settings.source_language, "Russian");
}

TEST(Options, EarlierNamesInTheOrderOfTestsWin) {
  // "--id=" is tested before "--outfile=", and the value is everything after
  // the argument's first "=".
  Parsed p = parse({"--outfile=--id=x"});
  EXPECT_EQ(p.settings.id, "--id=x");
  EXPECT_EQ(p.settings.outfile, "none.pdb");
  // "--help" is tested first, even inside a path.
  Parsed help = parse({"--infile=c:/--help/x.csv"});
  EXPECT_FALSE(help.go_on);
  EXPECT_EQ(help.settings.infile, "none.csv");
  EXPECT_NE(help.console.text().find("Usage: lexbuild [options]"), std::string::npos);
}

TEST(Options, TheSourceEncodingIsTestedLastSoNoOtherArgumentChangesMeaning) {
  EXPECT_FALSE(parse({}).settings.source_utf8);
  EXPECT_TRUE(parse({"--source_encoding=UTF-8"}).settings.source_utf8);
  EXPECT_TRUE(parse({"--Source_Encoding=utf8"}).settings.source_utf8);
  // A path that holds the name is still a path.
  Parsed p = parse({"--infile=lists/--source_encoding=utf-8.tab", "--id=--source_encoding=x"});
  EXPECT_EQ(p.settings.infile, "lists/--source_encoding=utf-8.tab");
  EXPECT_EQ(p.settings.id, "--source_encoding=x");
  EXPECT_FALSE(p.settings.source_utf8);
  EXPECT_EQ(fatal_of({"--source_encoding=latin1"}),
            "lexbuild error: value for the '--source_encoding=' options is wrong: utf-8 is the "
            "one encoding it names; leave it out for a list in the codepage of "
            "--source_language\n");
}

TEST(Options, MarkersAndFlags) {
  Parsed p = parse(
      {"--abbrfile=a.txt", "--aboutfile=b.txt", "--largefont=1", "--cutlong=0", "--unicode=1"});
  EXPECT_TRUE(p.settings.abbrfile_given);
  EXPECT_TRUE(p.settings.aboutfile_given);
  EXPECT_TRUE(p.settings.largefont_given);
  EXPECT_EQ(p.settings.largefont, 1);
  EXPECT_EQ(p.settings.cutlong, 0);
  EXPECT_EQ(p.settings.unicode, 1);
  EXPECT_EQ(p.settings.abbrfile, "a.txt");
  EXPECT_EQ(p.settings.aboutfile, "b.txt");
}

TEST(Options, ToUnicodeAlwaysSwitchesUnicodeOn) {
  Parsed p = parse({"--to_unicode=0"});
  EXPECT_EQ(p.settings.to_unicode, 0);
  EXPECT_EQ(p.settings.unicode, 1);
  EXPECT_EQ(parse({"--to_unicode=3"}).settings.to_unicode, 3);
}

TEST(Options, AConversionToUnicodeKeepsUnicodeOnWhateverFollows) {
  // The converted list is UTF-16 whatever a later --unicode= says: reading it
  // as 8-bit text would store every unit's zero byte as a character.
  Parsed p = parse({"--to_unicode=2", "--unicode=0"});
  EXPECT_EQ(p.settings.to_unicode, 2);
  EXPECT_EQ(p.settings.unicode, 1);
  // Without a conversion the last value stands: the source is read as it is.
  p = parse({"--to_unicode=0", "--unicode=0"});
  EXPECT_EQ(p.settings.unicode, 0);
  EXPECT_EQ(parse({"--unicode=0", "--to_unicode=0"}).settings.unicode, 1);
}

TEST(Options, IntegerValuesFollowTheAtoiRules) {
  EXPECT_EQ(parse({"--unicode=1x"}).settings.unicode, 1);
  EXPECT_EQ(parse({"--largefont= +1"}).settings.largefont, 1);
  EXPECT_EQ(parse({"--cutlong=0"}).settings.cutlong, 0);
}

TEST(Options, BadValuesAreFatal) {
  EXPECT_EQ(fatal_of({"--unicode=x"}), kSyntaxWrong);
  EXPECT_EQ(fatal_of({"--unicode="}), kSyntaxWrong);
  EXPECT_EQ(fatal_of({"--unicode=00"}), kSyntaxWrong);
  EXPECT_EQ(fatal_of({"--cutlong= +0"}), kSyntaxWrong);
  EXPECT_EQ(fatal_of({"--id="}), kSyntaxWrong);
  EXPECT_EQ(fatal_of({"--unicode=2"}),
            "lexbuild error: value for the '--unicode' options is wrong\n");
  EXPECT_EQ(fatal_of({"--to_unicode=4"}),
            "lexbuild error: value for the '--to_unicode' options is wrong\n");
  EXPECT_EQ(fatal_of({"--to_unicode=-1"}),
            "lexbuild error: value for the '--to_unicode' options is wrong\n");
  EXPECT_EQ(fatal_of({"--largefont=2"}),
            "lexbuild error: value for the '--largefont=' options is wrong\n");
  EXPECT_EQ(fatal_of({"--cutlong=99999999999"}),
            "lexbuild error: value for the '--cutlong=' options is wrong\n");
  // A bad value before "--help" still ends the run with its report.
  EXPECT_EQ(fatal_of({"--unicode=7", "--help"}),
            "lexbuild error: value for the '--unicode' options is wrong\n");
}

TEST(Options, ValuesMustFitTheirSettings) {
  EXPECT_EQ(parse({"--infile=" + std::string(63, 'f')}).settings.infile, std::string(63, 'f'));
  EXPECT_EQ(fatal_of({"--infile=" + std::string(64, 'f')}), kSyntaxWrong);
  EXPECT_EQ(parse({"--id=" + std::string(59, 'i')}).settings.id, std::string(59, 'i'));
  EXPECT_EQ(fatal_of({"--id=" + std::string(60, 'i')}), kSyntaxWrong) << "<id>.pdb must fit";
  EXPECT_EQ(parse({"--source_format=" + std::string(62, 't')}).settings.source_format.size(), 63u);
  EXPECT_EQ(fatal_of({"--source_format=" + std::string(63, 't')}), kSyntaxWrong);
  EXPECT_EQ(parse({"--abbrfile=" + std::string(255, 'a')}).settings.abbrfile.size(), 255u);
  EXPECT_EQ(fatal_of({"--abbrfile=" + std::string(256, 'a')}), kSyntaxWrong);
  // The whole argument must fit the 512-byte working buffer.
  EXPECT_EQ(fatal_of({"--pictures_db=" + std::string(498, 'p')}), kSyntaxWrong);
  EXPECT_TRUE(parse({"--pictures_db=" + std::string(497, 'p')}).go_on);
}

TEST(Options, PostBuildOptionsPassSilently) {
  Parsed p =
      parse({"--font_textHR=f.bin", "x--pictures_db=p", "--allow_html=5", "--FONT_LISTHR=l"});
  EXPECT_TRUE(p.go_on);
  EXPECT_EQ(p.console.text(), "");
}

TEST(Options, HelpVersionAndUnknownOptionsStopTheRun) {
  Parsed version = parse({"--version", "--unicode=9"});
  EXPECT_FALSE(version.go_on);
  EXPECT_EQ(version.console.text(), "lexbuild version 1.3.23\n");

  Parsed unknown = parse({"--infile=a.csv", "--frobnicate", "--bogus"});
  EXPECT_FALSE(unknown.go_on);
  EXPECT_EQ(unknown.settings.infile, "a.csv");
  EXPECT_EQ(unknown.console.text(),
            "lexbuild: unrecognized options '--frobnicate'\n"
            "lexbuild: use the '--help' option for usage information\n");

  Parsed list = parse({"--help", "source_language"});
  EXPECT_FALSE(list.go_on);
  EXPECT_NE(list.console.text().find("English\n"), std::string::npos);
  EXPECT_EQ(list.console.text().find("Usage:"), std::string::npos);

  Parsed other_case = parse({"--help", "Source_Language"});
  EXPECT_NE(other_case.console.text().find("Usage:"), std::string::npos);
}

}  // namespace
}  // namespace lexbuild
