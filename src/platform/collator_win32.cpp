#include <windows.h>

#include "platform/collator.h"

namespace lexbuild::platform {
namespace {

// Case ignored, punctuation and symbols compared like the other characters.
constexpr DWORD kCompareFlags = NORM_IGNORECASE | SORT_STRINGSORT;

// An empty text has no data pointer, which CompareStringW refuses as an
// invalid parameter: it is given as L"" instead, so that the empty string
// compares (equal to a soft hyphen, before every character) as Windows says.
const wchar_t* wide(std::u16string_view text) {
  static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows texts are UTF-16");
  return text.empty() ? L"" : reinterpret_cast<const wchar_t*>(text.data());
}

}  // namespace

struct Collator::Impl {
  LCID lcid = 0;
};

Collator::Collator(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Collator::~Collator() = default;

std::unique_ptr<Collator> Collator::create(const std::string& locale_id) {
  // The system's locale names write "ru-RU" and "zh-Hant".
  std::wstring name(locale_id.begin(), locale_id.end());
  for (wchar_t& c : name) {
    if (c == L'_') c = L'-';
  }
  const LCID lcid = ::LocaleNameToLCID(name.c_str(), 0);
  if (lcid == 0 || !::IsValidLocale(lcid, LCID_INSTALLED)) return nullptr;
  auto impl = std::make_unique<Impl>();
  impl->lcid = lcid;
  return std::unique_ptr<Collator>(new Collator(std::move(impl)));
}

int Collator::compare(std::u16string_view a, std::u16string_view b) const {
  const int result =
      ::CompareStringW(impl_->lcid, kCompareFlags, wide(a), static_cast<int>(a.size()), wide(b),
                       static_cast<int>(b.size()));
  if (result == 0) return 1;
  return result - CSTR_EQUAL;
}

void Collator::append_sort_key(std::u16string_view text, std::vector<uint8_t>& out) const {
  if (text.empty()) return;  // an empty key sorts first
  const DWORD flags = LCMAP_SORTKEY | kCompareFlags;
  const int length = static_cast<int>(text.size());
  const int size = ::LCMapStringW(impl_->lcid, flags, wide(text), length, nullptr, 0);
  if (size <= 0) return;
  const size_t at = out.size();
  out.resize(at + static_cast<size_t>(size));
  // A sort key is written as bytes, its size counted in bytes.
  const int written = ::LCMapStringW(impl_->lcid, flags, wide(text), length,
                                     reinterpret_cast<wchar_t*>(out.data() + at), size);
  if (written <= 0) {
    out.resize(at);
    return;
  }
  out.resize(at + static_cast<size_t>(written) - 1);  // without the terminating zero
}

}  // namespace lexbuild::platform
