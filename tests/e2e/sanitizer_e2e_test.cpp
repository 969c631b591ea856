// In a sanitizer build the end-to-end tests run the programs of that same
// build, sanitized, and a report ends them with a status that no refusal of
// theirs uses. A normal build has nothing to check and compiles no test here.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_support.h"

#if defined(__SANITIZE_ADDRESS__)
#define LEXBUILD_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LEXBUILD_SANITIZED 1
#endif
#endif

#ifdef LEXBUILD_SANITIZED
namespace lexbuild::testing {
namespace {

// The exit status a sanitizer report gives `binary`, read from the flags the
// AddressSanitizer runtime lists with help=1 (UndefinedBehaviorSanitizer
// lists nothing when linked beside it, and shares the setting).
std::string report_status(const std::string& binary) {
  RunOptions options;
  options.env["ASAN_OPTIONS"] = "help=1";
  const ProgramResult r = run_program(binary, {"--version"}, options);
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("Available flags for AddressSanitizer"), std::string::npos)
      << binary << " is not built with AddressSanitizer";
  const size_t flag = r.err.find("\texitcode\n");
  const std::string value = "(Current Value: ";
  const size_t at = r.err.find(value, flag);
  if (flag == std::string::npos || at == std::string::npos) return "none";
  const size_t start = at + value.size();
  return r.err.substr(start, r.err.find(')', start) - start);
}

TEST(SanitizerBuild, ProgramsAreSanitizedAndReportWithTheirOwnStatus) {
  std::vector<std::string> programs = {LEXBUILD_BINARY};
#ifdef LEXDUMP_BINARY
  programs.push_back(LEXDUMP_BINARY);
#endif
  for (const std::string& program : programs) {
    EXPECT_EQ(report_status(program), "86") << program;
  }
}

}  // namespace
}  // namespace lexbuild::testing
#endif  // LEXBUILD_SANITIZED
