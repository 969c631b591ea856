// Arbitrary sources through a whole build, in process: the intake chain,
// the compiler, the database assembly and the post-build pass. The first
// byte picks the options (source format, conversion to UTF-16, a source that
// is already UTF-16, cutting, sort language, a UTF-8 source); the rest is the
// source.
//
// A build either refuses the source with a message, leaving no database, or
// leaves a database that passes every check of `lexdump verify`, holds as
// many entries as the build counted, and a work folder without stage or
// record files.
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "driver/console.h"
#include "driver/report.h"
#include "fuzz_support.h"
#include "lexdump/verify.h"
#include "main/run_sequence.h"
#include "platform/file.h"

using namespace lexbuild;

namespace {

std::vector<std::string> options(uint8_t choice, const std::string& source,
                                 const std::string& database) {
  std::vector<std::string> args = {"lexbuild", "--infile=" + source, "--outfile=" + database};
  if (choice & 1) args.push_back("--source_format=tab");
  if (choice & 2) args.push_back("--to_unicode=1");
  if (choice & 4) args.push_back("--unicode=1");
  if (choice & 8) args.push_back("--cutlong=0");
  if (choice & 64) args.push_back("--source_encoding=utf-8");
  switch ((choice >> 4) & 3) {
    case 1:
      args.push_back("--source_language=English");
      break;
    case 2:
      args.push_back("--source_language=Russian");
      break;
    default:
      break;
  }
  return args;
}

// The entry count the build printed: "itemsCount = %d".
long printed_items(const std::string& console) {
  const std::string label = "itemsCount = ";
  const size_t at = console.find(label);
  return at == std::string::npos ? -1
                                 : std::strtol(console.c_str() + at + label.size(), nullptr, 10);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static const bool work_folder_set = ::setenv("TEMP", fuzz::scratch_folder().c_str(), 1) == 0;
  FUZZ_CHECK(work_folder_set);
  fuzz::clear_scratch_folder();
  const std::string source = fuzz::scratch_path("source.txt");
  const std::string database = fuzz::scratch_path("out.pdb");
  FUZZ_CHECK(platform::write_file(source, std::span(data + 1, size - 1)));

  StringConsole console;
  try {
    FUZZ_CHECK(run_lexbuild(options(data[0], source, database), console) == 0);
  } catch (const FatalError& e) {
    FUZZ_CHECK(e.exit_status() == 1 || e.exit_status() == 2);
    FUZZ_CHECK(!e.output().empty());
    FUZZ_CHECK(!platform::file_exists(database));  // a refused build leaves no database
    return 0;
  }

  std::vector<uint8_t> bytes;
  FUZZ_CHECK(platform::read_file(database, bytes));
  const dump::VerifyReport report = dump::verify_database(bytes);
  if (!report.findings.empty()) {
    for (const auto& f : report.findings)
      std::fprintf(stderr, "%s: %s\n", f.rule.c_str(), f.detail.c_str());
  }
  FUZZ_CHECK(report.findings.empty());
  FUZZ_CHECK(printed_items(console.text()) == static_cast<long>(report.entries));

  // Only the source, the database and the two traces the compiler leaves.
  const std::set<std::string> allowed = {"source.txt", "out.pdb", "_filter.txt", "_tableDebug.txt"};
  for (const std::string& name : platform::list_matching(fuzz::scratch_folder(), "*")) {
    if (!allowed.count(name)) std::fprintf(stderr, "left in the work folder: %s\n", name.c_str());
    FUZZ_CHECK(allowed.count(name) == 1);
  }
  return 0;
}
