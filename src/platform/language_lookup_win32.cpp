#include <windows.h>

#include <cstdlib>
#include <string>

#include "platform/language_lookup.h"

namespace lexbuild::platform {
namespace {

bool same_caseless(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// The installed locale whose English language name is `name`, as the
// language list prints it; of several (English of the United States, of
// Britain, ...), the one of the lowest identifier, the language's first.
struct NameSearch {
  std::string_view name;
  LCID found = 0;
};
thread_local NameSearch* searching = nullptr;  // EnumSystemLocalesA passes no context

BOOL CALLBACK match_language(LPSTR locale_text) {
  const LCID lcid = static_cast<LCID>(std::strtoul(locale_text, nullptr, 16));
  char language[256];
  const int length = ::GetLocaleInfoA(lcid, LOCALE_SENGLANGUAGE, language, sizeof language);
  if (length > 1 && searching != nullptr &&
      same_caseless(std::string_view(language, static_cast<size_t>(length - 1)), searching->name) &&
      (searching->found == 0 || lcid < searching->found)) {
    searching->found = lcid;
  }
  return TRUE;
}

LCID find_by_english_name(std::string_view name) {
  NameSearch search{name};
  searching = &search;
  ::EnumSystemLocalesA(match_language, LCID_INSTALLED);
  searching = nullptr;
  return search.found;
}

// "ru", "ru_RU", "zh-TW", "sr-Latn-RS".
LCID find_by_locale_id(std::string_view name) {
  std::wstring id;
  for (const char c : name) {
    const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                         (c >= '0' && c <= '9') || c == '_' || c == '-';
    if (!allowed) return 0;
    id.push_back(c == '_' ? L'-' : static_cast<wchar_t>(c));
  }
  const LCID lcid = ::LocaleNameToLCID(id.c_str(), 0);
  if (lcid == 0 || lcid == LOCALE_CUSTOM_UNSPECIFIED || !::IsValidLocale(lcid, LCID_INSTALLED)) {
    return 0;
  }
  return lcid;
}

}  // namespace

std::optional<SourceLanguage> find_source_language(std::string_view name) {
  if (name.empty() || same_caseless(name, "C") || same_caseless(name, "POSIX")) {
    return std::nullopt;
  }
  LCID lcid = find_by_english_name(name);
  if (lcid == 0) lcid = find_by_locale_id(name);
  if (lcid == 0) return std::nullopt;

  wchar_t locale_name[LOCALE_NAME_MAX_LENGTH];
  if (::LCIDToLocaleName(lcid, locale_name, LOCALE_NAME_MAX_LENGTH, 0) <= 0) return std::nullopt;
  SourceLanguage language;
  for (const wchar_t* c = locale_name; *c != L'\0'; ++c) {
    language.locale_id.push_back(static_cast<char>(*c));
  }
  // A language whose text is Unicode only has no ANSI code page (0).
  DWORD code_page = 0;
  if (::GetLocaleInfoW(lcid, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                       reinterpret_cast<wchar_t*>(&code_page),
                       sizeof code_page / sizeof(wchar_t)) <= 0) {
    code_page = 0;
  }
  language.code_page = static_cast<int>(code_page);
  return language;
}

}  // namespace lexbuild::platform
