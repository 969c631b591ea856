// The locale that --source_language= selects for the whole build: how the
// bytes of an 8-bit list become UTF-16, how lines are ordered, and how the
// word table lower-cases a byte.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/code_page.h"
#include "platform/collator.h"

namespace lexbuild {

/// A 256-entry table indexed by a byte.
using ByteTable = std::array<uint8_t, 256>;

class SourceLocale {
 public:
  /// The "C" locale: bytes are their own characters, only A to Z fold.
  SourceLocale();
  SourceLocale(SourceLocale&& other) noexcept;
  SourceLocale& operator=(SourceLocale&& other) noexcept;
  ~SourceLocale();

  /// What a --source_language= value turned out to name.
  enum class Language {
    kNone,             // empty, "C" or "POSIX": the "C" locale, as asked
    kFound,            // a language with its code page and collation
    kUnknown,          // no language the program knows: the "C" locale
    kWithoutCodePage,  // a language without an 8-bit code page
  };

  /// The locale of `source_language`; the "C" locale when the name is empty
  /// or names no language with an ANSI code page. A language without one
  /// still gives its collation to a 16-bit list (`sixteen_bit`), whose text
  /// needs no code page; its bytes stay their own characters.
  static SourceLocale select(const std::string& source_language, bool sixteen_bit = false);

  bool is_c() const { return collator_ == nullptr; }
  Language language() const { return language_; }
  /// The ANSI code page; 0 for the "C" locale.
  int code_page() const { return code_page_; }

  /// The UTF-16 unit of byte `b` converted alone; nothing when the code page
  /// does not define it. In the "C" locale byte b is the unit b.
  std::optional<char16_t> unit(uint8_t b) const {
    if (!defined_[b]) return std::nullopt;
    return units_[b];
  }

  /// One-byte lower-case mapping: the byte's character lower-cased, encoded
  /// back when the code page has it, else the byte itself.
  const ByteTable& lower_case() const { return lower_case_; }

  /// Where each byte sorts when compared on its own with case ignored:
  /// bytes of equal rank compare equal, and rank 0 compares like the empty
  /// string (the end of a key).
  const ByteTable& byte_ranks() const { return byte_ranks_; }

  /// The whole-string comparison of the language; null for the "C" locale.
  const platform::Collator* collator() const { return collator_.get(); }

 private:
  Language language_ = Language::kNone;
  int code_page_ = 0;
  std::array<char16_t, 256> units_{};
  std::array<bool, 256> defined_{};
  ByteTable lower_case_{};
  ByteTable byte_ranks_{};
  std::unique_ptr<platform::Collator> collator_;
};

}  // namespace lexbuild
