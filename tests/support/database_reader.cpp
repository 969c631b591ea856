#include "support/database_reader.h"

#include <stdexcept>

#include "compiler/format.h"
#include "lexdump/dictionary.h"
#include "lexdump/verify.h"

namespace lexbuild::testing {

DecodedDictionary read_dictionary(const std::vector<uint8_t>& image) {
  // Every rule the reader relies on first, then the entries.
  const dump::VerifyReport report = dump::verify_database(image);
  if (!report.findings.empty()) {
    throw std::runtime_error(report.findings.front().rule + ": " + report.findings.front().detail);
  }
  dump::Findings findings;
  const std::optional<dump::Dictionary> d = dump::Dictionary::open(image, findings);
  if (!d) throw std::runtime_error("not a readable dictionary");
  std::string error;
  const auto entries = d->entries(error);
  if (!entries) throw std::runtime_error(error);

  DecodedDictionary dict;
  dict.pdb = split_pdb(image);
  dict.items_count = d->header().items_count;
  dict.words_records = static_cast<uint32_t>(d->record_count(dump::Kind::kWords));
  dict.trans_records = static_cast<uint32_t>(d->record_count(dump::Kind::kTrans));
  dict.words_chunks = d->chunks(dump::Kind::kWords).size();
  dict.trans_chunks = d->chunks(dump::Kind::kTrans).size();
  for (const dump::StoredEntry& e : *entries) {
    std::string word(e.word.begin(), e.word.end());
    if (d->unicode()) word += '\0';  // a UTF-16 word is stored with a zero byte after its units
    dict.entries.push_back({word, std::string(e.translation.begin(), e.translation.end())});
  }
  return dict;
}

}  // namespace lexbuild::testing
