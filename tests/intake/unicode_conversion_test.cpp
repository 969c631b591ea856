#include "intake/unicode_conversion.h"

#include <gtest/gtest.h>

#include "driver/report.h"
#include "intake/intake_fixture.h"

namespace lexbuild {
namespace {

using testing::bytes_of;
using testing::read_bytes;
using testing::to_hex;

std::string convert(std::string_view text, const SourceLocale& locale, std::string* warnings) {
  StringConsole console;
  Utf16ListEncoder encoder(locale, console);
  std::vector<uint8_t> out;
  for (char c : text) encoder.put(static_cast<uint8_t>(c), out);
  if (warnings) *warnings = console.text();
  return to_hex(out);
}

TEST(Utf16ListEncoder, EachByteOneUnitEachLineEndTheBytes0D0A) {
  const SourceLocale c;
  EXPECT_EQ(convert("cat\tanimal\n", c, nullptr),
            "63 00 61 00 74 00 09 00 61 00 6E 00 69 00 6D 00 61 00 6C 00 0D 0A");
  EXPECT_EQ(convert("", c, nullptr), "");
  EXPECT_EQ(convert("a\\nb", c, nullptr), "61 00 5C 00 6E 00 62 00") << "break escape kept";
  EXPECT_EQ(convert(std::string("\xC0\0", 2), c, nullptr), "C0 00 00 00")
      << "the C locale maps byte b to unit b";
}

TEST(Utf16ListEncoder, ConvertsThroughTheCodePageWithoutTouchingUnitBytes) {
  const SourceLocale russian = SourceLocale::select("Russian");
  EXPECT_EQ(convert("\xC0", russian, nullptr), "10 04");
  EXPECT_EQ(convert("\x8C\n", russian, nullptr), "0A 04 0D 0A")
      << "U+040A is stored as 0A 04, with no CR before the 0A";
  const SourceLocale english = SourceLocale::select("English");
  EXPECT_EQ(convert("\x80\x9F", english, nullptr), "AC 20 78 01");
}

TEST(Utf16ListEncoder, AnUndefinedByteBecomesTheReplacementCharacterWithAWarning) {
  const SourceLocale baltic = SourceLocale::select("Lithuanian");
  std::string warnings;
  EXPECT_EQ(convert("a\tb\n\xA1\xA5\t\xA1\nok\t\xC1\n", baltic, &warnings),
            "61 00 09 00 62 00 0D 0A FD FF FD FF 09 00 FD FF 0D 0A 6F 00 6B 00 09 00 2E 01 0D 0A");
  EXPECT_EQ(warnings,
            "lexbuild: (WARNING) line 2: byte 0xA1 is not a character of code page 1257, "
            "U+FFFD written instead\n")
      << "one warning per line";
}

class UnicodeConversionStage : public IntakeTest {
 protected:
  /// Converts `text` held in memory, in buffers with and without room for
  /// its units, and expects the bytes and report of its file's conversion.
  void convert_held_and_from_file(const std::string& text);
};

TEST_F(UnicodeConversionStage, ReplacesAStageFileButNeverTheSource) {
  const std::string path = source("dog\t\xE4\n");
  const SourceLocale locale = SourceLocale::select("German");
  CurrentList list(settings_);
  dic_unicode(context_, list, locale);
  EXPECT_EQ(console_.text(), "Converting to unicode...\n");
  EXPECT_EQ(list.path(), tmp_.file("dic_unicode1"));
  EXPECT_EQ(settings_.infile, list.path());
  EXPECT_EQ(to_hex(read_bytes(list.path())), "64 00 6F 00 67 00 09 00 E4 00 0D 0A");
  EXPECT_TRUE(testing::exists(path));

  const std::string first = list.path();
  dic_unicode(context_, list, locale);
  EXPECT_FALSE(testing::exists(first)) << "the previous stage file is deleted";
  EXPECT_EQ(stage_files(), std::vector<std::string>{"dic_unicode2"});
}

TEST_F(UnicodeConversionStage, AHeldListIsConvertedInMemoryAsItsFileWouldBe) {
  // Line ends of every kind, the end at 0x1A, and bytes that code page 1257
  // leaves undefined (0xA1, 0xA5), whose warnings name their lines; then the
  // same among long plain runs, which are converted eight bytes at a time,
  // at every offset from such a group's start, counted from either end; every
  // byte from 0x20 up among them.
  std::string ascii;
  std::string high;
  for (int b = 0x20; b <= 0xFF; ++b) (b < 0x80 ? ascii : high) += static_cast<char>(b);
  std::vector<std::string> texts = {
      "\xA1og\t\xE0\r\ncat\rcow\r\r\nbee\t\xA5\xA1\n\r\n\rend\x1A"
      "after\xA1\n"};
  for (size_t shift = 0; shift < 8; ++shift) {
    texts.push_back(std::string(shift, 'x') +
                    "a plain run of words\r\nthen twelve\xA1 and more words\tafter it\n"
                    "seventeen letters\r\r\nsixteen letters!\rcarriage returns\r"
                    "\r\n\r\n" +
                    std::string(shift, 'w') + ascii + std::string(7 - shift, 'y') + "\n" + high +
                    "\nthe end is here\x1A after the end, more words\n");
  }
  for (const std::string& text : texts) convert_held_and_from_file(text);
}

void UnicodeConversionStage::convert_held_and_from_file(const std::string& text) {
  SCOPED_TRACE(to_hex(bytes_of(text)));
  const SourceLocale locale = SourceLocale::select("Lithuanian");
  console_.clear();
  source(text);
  CurrentList from_file(settings_);
  dic_unicode(context_, from_file, locale);
  const std::vector<uint8_t> expected = read_bytes(from_file.path());
  // Two warnings, for lines 1 and 3; none under wine, whose tables define those bytes.
  const std::string expected_report = console_.text();

  // Converted where it lies, in a buffer with room for the units or without.
  for (const size_t room : {size_t{0}, 2 * text.size()}) {
    console_.clear();
    std::vector<uint8_t> list_bytes;
    list_bytes.reserve(room);
    const std::vector<uint8_t> raw = bytes_of(text);
    list_bytes.assign(raw.begin(), raw.end());
    CurrentList held(settings_);
    held.hold(std::move(list_bytes));
    dic_unicode(context_, held, locale);
    EXPECT_EQ(read_bytes(held.path()), std::vector<uint8_t>{}) << "created, to hold the name";
    const std::optional<std::vector<uint8_t>> converted = held.take_held();
    ASSERT_TRUE(converted.has_value()) << "still held, for the sort";
    EXPECT_EQ(to_hex(*converted), to_hex(expected)) << "room " << room;
    EXPECT_EQ(console_.text(), expected_report) << "room " << room;
  }
}

TEST_F(UnicodeConversionStage, AListThatCannotBeOpenedIsFatalBeforeAnythingIsWritten) {
  settings_.infile = work_.file("gone");
  CurrentList list(settings_);
  EXPECT_THROW(dic_unicode(context_, list, SourceLocale()), FatalError);
  EXPECT_EQ(stage_files(), std::vector<std::string>{});
  EXPECT_EQ(console_.text(), "");
}

}  // namespace
}  // namespace lexbuild
