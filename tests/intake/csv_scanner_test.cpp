#include "intake/csv_scanner.h"

#include <gtest/gtest.h>

#include "driver/report.h"

namespace lexbuild {
namespace {

struct Scan {
  std::string out;
  StringConsole console;
};

// Scans `source` (Q stands for a quote character) and returns the output.
Scan scan(std::string source) {
  for (char& c : source) {
    if (c == 'Q') c = '"';
  }
  Scan s;
  CsvScanner scanner(s.out, s.console);
  scanner.feed(source);
  scanner.finish();
  return s;
}

// The fatal report that scanning `source` raises.
std::string error_of(const std::string& source) {
  try {
    scan(source);
  } catch (const FatalError& e) {
    return e.output();
  }
  return "(no error)";
}

TEST(CsvScanner, QuotedFieldsAndDoubledQuotes) {
  EXPECT_EQ(scan("QcatQ,QanimalQ\nQdogQ,Qa QQbigQQ dogQ\n").out,
            "cat\tanimal\ndog\ta \"big\" dog\n");
  EXPECT_EQ(scan("QabQcd,e\n").out, "abcd\te\n") << "text after the closing quote joins the field";
  EXPECT_EQ(scan("Qa,bQ,c\n").out, "a,b\tc\n") << "a comma inside quotes is text";
}

TEST(CsvScanner, FieldCountsShapeTheLine) {
  EXPECT_EQ(scan("cat\n").out, "cat\t \n");
  EXPECT_EQ(scan("cat,animal,pet\n").out, "cat\tanimal\\npet\n");
  EXPECT_EQ(scan(",b\n").out, "\tb\n");
  EXPECT_EQ(scan("QaQ,,QcQ\n").out, "a\t\\nc\n");
  EXPECT_EQ(scan("a,b,c,d\n").out, "a\tb\\nc\\nd\n");
}

TEST(CsvScanner, LineBreaksInsideQuotesAndTrailingCommas) {
  Scan multi = scan("QaQ,Qline1\nline2Q\nb,c\n,");
  EXPECT_EQ(multi.out, "a\tline1\\nline2\nb\tc\n\t");
  Scan trailing = scan("a,b,\nc\n");
  EXPECT_EQ(trailing.out, "a\tb\\nc\n");
  EXPECT_EQ(trailing.console.text(), "\n") << "the line end after the comma shows as an empty line";
  Scan blank = scan("a,b\n\n\nc,d\n");
  EXPECT_EQ(blank.out, "a\tb\nc\td\n");
  EXPECT_EQ(blank.console.text(), "\n\n");
}

TEST(CsvScanner, EndOfInputCompletesAnOpenRecord) {
  EXPECT_EQ(scan("QaQ,b").out, "a\tb\n");
  EXPECT_EQ(scan("a").out, "a\t \n");
  EXPECT_EQ(scan("QaQ,QbQ").out, "a\tb\n") << "a closing quote at the very end";
  EXPECT_EQ(scan("").out, "");
}

TEST(CsvScanner, HeaderMarkerSkipsItsLine) {
  EXPECT_EQ(scan("#@!Velmora!@# ID=[MyDict]\na,b\n").out, "a\tb\n");
  // A marker that breaks off part-way is ordinary text.
  EXPECT_EQ(scan("#@!Velm,x\n").out, "#@!Velm\tx\n");
  EXPECT_EQ(scan("#x,y\n").out, "#x\ty\n");
  EXPECT_EQ(scan("#@!Velmora!@").out, "#@!Velmora!@\t \n");
  // A record whose last field ended with a comma goes on after a skipped line.
  EXPECT_EQ(scan("a,#@!Velmora!@# skipped\nb\n").out, "a\tb\n");
}

TEST(CsvScanner, ALoneCrEndsALineLikeLf) {
  EXPECT_EQ(scan("a,b\rc,d\r").out, "a\tb\nc\td\n");
  EXPECT_EQ(scan("QaQ,Qx\ryQ\r").out, "a\tx\\ny\n");
}

TEST(CsvScanner, ZeroBytesWriteNothing) {
  EXPECT_EQ(scan(std::string("a\0b,c\0\n", 7)).out, "ab\tc\n");
}

TEST(CsvScanner, SyntaxErrorsNameTheRecordLine) {
  EXPECT_EQ(error_of(" \"a\",b\n"), "lexbuild error: Error parsing at line: 1");
  EXPECT_EQ(error_of("a\"b,c\n"), "lexbuild error: Error parsing at line: 1");
  EXPECT_EQ(error_of("\"a\"x\"y\n"), "lexbuild error: Error parsing at line: 1");
  EXPECT_EQ(error_of("\"a\",\"b"), "lexbuild error: Error parsing at line: 1");
  // Line ends inside quotes, after a trailing comma, blank lines and the
  // skipped header line do not move the counter.
  EXPECT_EQ(error_of("#@!Velmora!@#\nx,y\n\n\"a\",\"1\n2\"\np,\nq\nbad\"\n"),
            "lexbuild error: Error parsing at line: 4");
}

}  // namespace
}  // namespace lexbuild
