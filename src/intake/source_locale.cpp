#include "intake/source_locale.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "driver/build_context.h"
#include "platform/language_lookup.h"

namespace lexbuild {
namespace {

// Windows keeps the Turkish capital I with dot as it is when lower-casing a
// byte, though its lower case (plain i) is in the code page.
constexpr char16_t kCapitalIWithDot = 0x0130;

ByteTable lower_case_table(const platform::CodePageTable& table) {
  ByteTable lower = c_lower_case();
  for (int b = 0; b < 256; ++b) {
    if (!table.defined[b] || table.units[b] == kCapitalIWithDot) continue;
    const char32_t lowered = platform::simple_lower_case(table.units[b]);
    if (lowered == table.units[b]) continue;
    for (int target = 0; target < 256; ++target) {
      if (table.defined[target] && table.units[target] == lowered) {
        lower[b] = static_cast<uint8_t>(target);
        break;
      }
    }
  }
  return lower;
}

// Orders the empty string and the 255 one-byte strings with the collator and
// numbers the classes of equal strings from 0, the empty string's class.
// Bytes the code page does not define follow every character, each in a
// class of its own, by value.
ByteTable rank_table(const platform::CodePageTable& table, const platform::Collator& collator) {
  std::vector<int> order;  // -1 stands for the empty string
  order.push_back(-1);
  for (int b = 1; b < 256; ++b) {
    if (table.defined[b]) order.push_back(b);
  }
  auto text = [&](int b) {
    return b < 0 ? std::u16string_view() : std::u16string_view(&table.units[b], 1);
  };
  std::stable_sort(order.begin(), order.end(),
                   [&](int x, int y) { return collator.compare(text(x), text(y)) < 0; });

  ByteTable ranks{};
  int rank = 0;
  for (size_t i = 0; i < order.size(); ++i) {
    if (i > 0 && collator.compare(text(order[i - 1]), text(order[i])) != 0) ++rank;
    if (order[i] >= 0) ranks[order[i]] = static_cast<uint8_t>(rank);
  }
  // A zero byte compares like the end of the key.
  ranks[0] = 0;
  for (int b = 1; b < 256; ++b) {
    if (!table.defined[b]) ranks[b] = static_cast<uint8_t>(++rank);
  }
  return ranks;
}

}  // namespace

SourceLocale::SourceLocale() {
  for (int b = 0; b < 256; ++b) {
    units_[b] = static_cast<char16_t>(b);
    defined_[b] = true;
  }
  lower_case_ = c_lower_case();
  // "C" rules: ASCII letters folded, then plain byte values.
  byte_ranks_ = lower_case_;
}

SourceLocale::SourceLocale(SourceLocale&&) noexcept = default;
SourceLocale& SourceLocale::operator=(SourceLocale&&) noexcept = default;
SourceLocale::~SourceLocale() = default;

SourceLocale SourceLocale::select(const std::string& source_language, bool sixteen_bit) {
  SourceLocale locale;
  const auto found = platform::find_source_language(source_language);
  if (!found) {
    std::string lower = source_language;
    for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    const bool c_asked = lower.empty() || lower == "c" || lower == "posix";
    locale.language_ = c_asked ? Language::kNone : Language::kUnknown;
    return locale;
  }
  if (found->code_page == 0) {
    locale.language_ = Language::kWithoutCodePage;
    if (sixteen_bit) locale.collator_ = platform::Collator::create(found->locale_id);
    return locale;
  }
  auto table = platform::load_code_page(found->code_page);
  if (table) platform::add_windows_private_use(*table);
  auto language_collator = platform::Collator::create(found->locale_id);
  if (!table || !language_collator) {
    locale.language_ = Language::kUnknown;
    return locale;
  }

  locale.language_ = Language::kFound;
  locale.code_page_ = found->code_page;
  for (int b = 0; b < 256; ++b) {
    locale.units_[b] = table->units[b];
    locale.defined_[b] = table->defined[b];
  }
  locale.lower_case_ = lower_case_table(*table);
  locale.byte_ranks_ = rank_table(*table, *language_collator);
  locale.collator_ = std::move(language_collator);
  return locale;
}

}  // namespace lexbuild
