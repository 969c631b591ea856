// A language's comparison of words: case ignored, punctuation and symbols
// counted like other characters, tuned to give the order that the Windows
// comparison of the same language gives.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lexbuild::platform {

class Collator {
 public:
  /// The comparison of the language of `locale_id` ("en", "ru", "zh_Hant");
  /// nothing when no collation can be built for it.
  static std::unique_ptr<Collator> create(const std::string& locale_id);
  ~Collator();
  Collator(const Collator&) = delete;
  Collator& operator=(const Collator&) = delete;

  /// Negative, zero or positive as `a` sorts before, with or after `b`. A
  /// comparison that fails counts as "after".
  int compare(std::u16string_view a, std::u16string_view b) const;

  /// Appends the sort key of `text` to `out`: sort keys compare as unsigned
  /// byte strings (a prefix first) in the order that compare() gives.
  void append_sort_key(std::u16string_view text, std::vector<uint8_t>& out) const;

 private:
  struct Impl;
  explicit Collator(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace lexbuild::platform
