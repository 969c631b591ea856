// Arbitrary files through `lexdump verify`, in memory and as the command
// reads them (text and --json). Verification never fails on damaged input:
// it reports findings, and the command's status says whether there were any.
// A file that passes every check must also be readable entry by entry, with
// as many entries as its header record counts.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "lexdump/commands.h"
#include "lexdump/dictionary.h"
#include "lexdump/verify.h"
#include "platform/file.h"

using namespace lexbuild;
using namespace lexbuild::dump;

namespace {

// Every byte of the JSON output is ASCII and no control character but the
// line break at its end: bytes of the file that reach a finding are escaped
// (DEL needs no escape in JSON).
bool plain_json(const std::string& text) {
  if (text.empty() || text.front() != '{' || text.back() != '\n') return false;
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c > 0x7F) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  const VerifyReport report = verify_database(bytes);
  for (const Finding& f : report.findings) FUZZ_CHECK(!f.rule.empty() && !f.detail.empty());
  const bool passed = report.findings.empty();

  const std::string path = fuzz::scratch_path("dictionary.pdb");
  FUZZ_CHECK(platform::write_file(path, bytes));
  const CommandOutput text = run_lexdump({"lexdump", "verify", path});
  const CommandOutput json = run_lexdump({"lexdump", "--json", "verify", path});
  FUZZ_CHECK(text.status == (passed ? 0 : 1) && json.status == text.status);
  FUZZ_CHECK(text.err.empty() && json.err.empty());
  FUZZ_CHECK(plain_json(json.out));
  FUZZ_CHECK(json.out.starts_with(std::string("{\"file\":\"") + path +
                                  "\",\"ok\":" + (passed ? "true" : "false")));

  if (passed) {
    Findings findings;
    const std::optional<Dictionary> d = Dictionary::open(bytes, findings);
    FUZZ_CHECK(d.has_value());
    std::string error;
    const auto entries = d->entries(error);
    FUZZ_CHECK(entries.has_value() && entries->size() == d->header().items_count);
    FUZZ_CHECK(report.entries == d->header().items_count);
  }
  return 0;
}
