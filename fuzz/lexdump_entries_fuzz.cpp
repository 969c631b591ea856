// Arbitrary files through `lexdump entries` (8-bit text as its bytes and
// through a code page), `lexdump info` and `lexdump lookup` of the first
// entry's word, as the commands read them. Every command either answers or
// refuses the file with a message and status 1. Entries print one line per
// entry (line breaks inside a text are escaped), so a file that verifies
// prints exactly as many lines as its header record counts entries.
#include <algorithm>
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

void check_refusal_or_answer(const CommandOutput& result) {
  FUZZ_CHECK(result.status == 0 || result.status == 1);
  if (result.status == 1) FUZZ_CHECK(result.err.starts_with("lexdump: "));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  const std::string path = fuzz::scratch_path("dictionary.pdb");
  FUZZ_CHECK(platform::write_file(path, bytes));

  const CommandOutput entries = run_lexdump({"lexdump", "entries", path});
  check_refusal_or_answer(entries);
  const CommandOutput converted =
      run_lexdump({"lexdump", "--source_language=Russian", "entries", path});
  check_refusal_or_answer(converted);
  FUZZ_CHECK(converted.status == entries.status);
  const size_t lines = std::count(entries.out.begin(), entries.out.end(), '\n');
  if (entries.status == 0) {
    FUZZ_CHECK(std::count(converted.out.begin(), converted.out.end(), '\n') ==
               static_cast<std::ptrdiff_t>(lines));
  }
  check_refusal_or_answer(run_lexdump({"lexdump", "info", path}));
  check_refusal_or_answer(run_lexdump({"lexdump", "--json", "info", path}));

  // The first entry's word, as lexdump printed it, looked up again.
  if (entries.status == 0 && lines > 0) {
    const std::string word = entries.out.substr(0, entries.out.find('\t'));
    const CommandOutput found = run_lexdump({"lexdump", "lookup", path, word});
    check_refusal_or_answer(found);
  }

  if (verify_database(bytes).findings.empty()) {
    Findings findings;
    const std::optional<Dictionary> d = Dictionary::open(bytes, findings);
    FUZZ_CHECK(d.has_value());
    FUZZ_CHECK(entries.status == 0 && lines == d->header().items_count);
  }
  return 0;
}
