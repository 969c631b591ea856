#include "intake/csv_reader.h"

#include <gtest/gtest.h>

#include "driver/report.h"
#include "intake/csv_header.h"
#include "support/test_support.h"

namespace lexbuild {
namespace {

using testing::read_text;
using testing::TempDir;
using testing::write_text;

class CsvReaderTest : public ::testing::Test {
 protected:
  CsvReaderTest() : settings_(init_settings_with_work_folder(dir_.path())) {
    setenv("TMP", dir_.path().c_str(), 1);
    settings_.infile = dir_.file("words.csv");
  }
  ~CsvReaderTest() override { unsetenv("TMP"); }

  BuildContext& context() {
    if (!context_) context_.emplace(settings_, console_, log_);
    return *context_;
  }

  TempDir dir_;
  Settings settings_;
  StringConsole console_;
  Log log_;
  std::optional<BuildContext> context_;
};

TEST(CsvHeader, DirectiveValues) {
  EXPECT_EQ(directive_value("#@!Velmora!@# ID=[MyDict] LARGEFONT=[1]", "ID="), "MyDict");
  EXPECT_EQ(directive_value("ID=[a] ID=[b]", "ID="), "a") << "the first occurrence counts";
  EXPECT_EQ(directive_value("id=[a]", "ID="), std::nullopt) << "case-sensitive";
  EXPECT_EQ(directive_value("ID=(abc]", "ID="), "abc") << "any byte is skipped after =";
  EXPECT_EQ(directive_value("ID=[abc", "ID="), "abc") << "no ] : the value ends with the line";
  EXPECT_EQ(directive_value("ID=", "ID="), "");
  EXPECT_EQ(directive_file_text("Line one\\nLine two", ' '),
            std::string("Line one Line two\0", 18));
  EXPECT_EQ(directive_file_text("a\\nb\\", '\n'), std::string("a\nb\\\0", 5));
}

TEST_F(CsvReaderTest, ConvertsTheSourceIntoAStageFileAndObeysDirectives) {
  write_text(settings_.infile,
             "#@!Velmora!@# ID=[MyDict] LARGEFONT=[1] ABOUT=[Line one\\nLine two] "
             "ABBREVIATION=[adj. adjective\\nn. noun]\r\n\"cat\",\"animal\"\r\ndog,\"a \"\"big\"\" "
             "dog\"\r\n");
  const std::string source = settings_.infile;
  const std::string stage = csv_out(context());
  EXPECT_EQ(stage, dir_.file("csv_out1"));
  EXPECT_EQ(settings_.infile, stage);
  EXPECT_EQ(read_text(stage), "cat\tanimal\r\ndog\ta \"big\" dog\r\n");
  EXPECT_EQ(settings_.id, "MyDict");
  EXPECT_EQ(settings_.largefont, 1);
  EXPECT_EQ(read_text(settings_.aboutfile), std::string("Line one Line two\0", 18));
  EXPECT_EQ(read_text(settings_.abbrfile), std::string("adj. adjective\r\nn. noun\0", 24));
  EXPECT_EQ(read_text(source).substr(0, 13), "#@!Velmora!@#") << "the source is only read";
}

TEST_F(CsvReaderTest, GivenOptionsWinOverDirectives) {
  write_text(settings_.infile,
             "#@!Velmora!@# ID=[Other] LARGEFONT=[1] ABOUT=[x] ABBREVIATION=[y]\na,b\n");
  settings_.id = "Mine";
  settings_.id_given = settings_.largefont_given = true;
  settings_.aboutfile = dir_.file("about.txt");
  settings_.abbrfile = dir_.file("abbr.txt");
  settings_.aboutfile_given = settings_.abbrfile_given = true;
  csv_out(context());
  EXPECT_EQ(settings_.id, "Mine");
  EXPECT_EQ(settings_.largefont, 0);
  EXPECT_FALSE(testing::exists(settings_.aboutfile));
  EXPECT_FALSE(testing::exists(settings_.abbrfile));
}

TEST_F(CsvReaderTest, ALongIdIsCutToTwelveCharactersWithAWarning) {
  write_text(settings_.infile, "#@!Velmora!@# ID=[ABCDEFGHIJKLMNOP]\na,b\n");
  csv_out(context());
  EXPECT_EQ(settings_.id, "ABCDEFGHIJKL");
  EXPECT_NE(
      console_.text().find("lexbuild: the dictionary ID 'ABCDEFGHIJKLMNOP' is longer than 12"),
      std::string::npos);
}

TEST_F(CsvReaderTest, AMissingSourceIsFatalAndLeavesNoStageFile) {
  settings_.infile = dir_.file("missing.csv");
  try {
    csv_out(context());
    FAIL();
  } catch (const FatalError& e) {
    EXPECT_EQ(e.output(), "lexbuild error: could not open " + dir_.file("missing.csv") +
                              " file\nuse the '--help' option for usage information\n");
  }
  EXPECT_EQ(testing::list_folder(dir_.path()), std::vector<std::string>{});
}

TEST_F(CsvReaderTest, ASyntaxErrorLeavesThePartlyWrittenStageFile) {
  write_text(settings_.infile, "a,b\nc,d\ne\"f\n");
  try {
    csv_out(context());
    FAIL();
  } catch (const FatalError& e) {
    EXPECT_EQ(e.output(), "lexbuild error: Error parsing at line: 3");
  }
  EXPECT_EQ(read_text(dir_.file("csv_out1")), "a\tb\r\nc\td\r\ne");
}

TEST_F(CsvReaderTest, ADirectiveFileThatCannotBeCreatedIsFatal) {
  write_text(settings_.infile, "#@!Velmora!@# ABOUT=[x]\na,b\n");
  settings_.aboutfile = dir_.file("no-folder/_about.txt");
  try {
    csv_out(context());
    FAIL();
  } catch (const FatalError& e) {
    EXPECT_EQ(e.output(), "lexbuild error: could not open " + settings_.aboutfile + " file");
  }
}

}  // namespace
}  // namespace lexbuild
