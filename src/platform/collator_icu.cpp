#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/parseerr.h>
#include <unicode/tblcoll.h>
#include <unicode/ustring.h>

#include "platform/collator.h"

namespace lexbuild::platform {
namespace {

// Symbols and punctuation in the order Windows gives them, all before digits.
constexpr char16_t kWindowsSymbolOrder[] =
#include "platform/windows_symbol_order.inc"
    ;

// Ligatures and thorn expand to their letter pairs, and the vulgar fractions
// follow the digit 0, as in the Windows order.
constexpr char16_t kWindowsLetterFixes[] = u"&ae=æ&AE=Æ&oe=œ&OE=Œ&th=þ&TH=Þ&0<¼<½<¾";

constexpr char16_t kMicroSign = 0x00B5;

// Case is ignored by folding both texts before they are compared, not by a
// lower strength: superscripts and ordinal indicators stay apart from their
// letters and digits, and ß matches ss. The micro sign keeps its own place
// instead of becoming a Greek mu.
void fold_case(std::u16string_view text, std::u16string& out) {
  out.clear();
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(kMicroSign, start);
    if (end == std::u16string_view::npos) end = text.size();
    const std::u16string_view piece = text.substr(start, end - start);
    if (!piece.empty()) {
      const size_t at = out.size();
      // Full folding grows a text by at most three times.
      out.resize(at + piece.size() * 3 + 1);
      UErrorCode status = U_ZERO_ERROR;
      const int32_t length =
          u_strFoldCase(out.data() + at, static_cast<int32_t>(out.size() - at), piece.data(),
                        static_cast<int32_t>(piece.size()), U_FOLD_CASE_DEFAULT, &status);
      out.resize(at + (U_SUCCESS(status) ? static_cast<size_t>(length) : 0));
      if (U_FAILURE(status)) out.append(piece);
    }
    if (end == text.size()) break;
    out.push_back(kMicroSign);
    start = end + 1;
  }
}

}  // namespace

struct Collator::Impl {
  std::unique_ptr<icu::Collator> collator;
  // Scratch space for the folded texts; the program runs on one thread.
  mutable std::u16string folded_a;
  mutable std::u16string folded_b;
};

Collator::Collator(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Collator::~Collator() = default;

std::unique_ptr<Collator> Collator::create(const std::string& locale_id) {
  const icu::Locale locale(locale_id.c_str());
  if (locale.isBogus()) return nullptr;
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::Collator> base(icu::Collator::createInstance(locale, status));
  const auto* rule_based = dynamic_cast<const icu::RuleBasedCollator*>(base.get());
  if (U_FAILURE(status) || rule_based == nullptr) return nullptr;

  // The language's own rules, then the symbol order and the letter fixes.
  icu::UnicodeString rules = rule_based->getRules();
  rules += icu::UnicodeString(kWindowsSymbolOrder);
  rules += icu::UnicodeString(kWindowsLetterFixes);
  UParseError parse_error{};
  icu::UnicodeString reason;
  auto collator = std::make_unique<icu::RuleBasedCollator>(rules, parse_error, reason, status);
  if (U_FAILURE(status)) return nullptr;

  // Windows keeps Latin letters before every other script, whatever the
  // language; ICU moves the language's own script to the front.
  const int32_t no_reordering = UCOL_REORDER_CODE_NONE;
  collator->setReorderCodes(&no_reordering, 1, status);
  collator->setAttribute(UCOL_STRENGTH, UCOL_TERTIARY, status);
  collator->setAttribute(UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, status);
  // French compares accents from the end of the word.
  const bool french = std::string_view(locale.getLanguage()) == "fr";
  collator->setAttribute(UCOL_FRENCH_COLLATION, french ? UCOL_ON : UCOL_OFF, status);
  if (U_FAILURE(status)) return nullptr;

  auto impl = std::make_unique<Impl>();
  impl->collator = std::move(collator);
  return std::unique_ptr<Collator>(new Collator(std::move(impl)));
}

int Collator::compare(std::u16string_view a, std::u16string_view b) const {
  fold_case(a, impl_->folded_a);
  fold_case(b, impl_->folded_b);
  UErrorCode status = U_ZERO_ERROR;
  const UCollationResult result = impl_->collator->compare(
      impl_->folded_a.data(), static_cast<int32_t>(impl_->folded_a.size()), impl_->folded_b.data(),
      static_cast<int32_t>(impl_->folded_b.size()), status);
  if (U_FAILURE(status)) return 1;
  return result == UCOL_LESS ? -1 : result == UCOL_GREATER ? 1 : 0;
}

void Collator::append_sort_key(std::u16string_view text, std::vector<uint8_t>& out) const {
  fold_case(text, impl_->folded_a);
  const icu::UnicodeString folded(false, impl_->folded_a.data(),
                                  static_cast<int32_t>(impl_->folded_a.size()));
  const size_t at = out.size();
  // A first try in spare room usually fits; otherwise the exact size is known.
  size_t room = impl_->folded_a.size() * 4 + 16;
  for (;;) {
    out.resize(at + room);
    const int32_t length =
        impl_->collator->getSortKey(folded, out.data() + at, static_cast<int32_t>(room));
    if (length <= 0) {  // no key could be made: an empty key sorts first
      out.resize(at);
      return;
    }
    if (static_cast<size_t>(length) <= room) {
      out.resize(at + static_cast<size_t>(length) - 1);  // without the terminating zero
      return;
    }
    room = static_cast<size_t>(length);
  }
}

}  // namespace lexbuild::platform
