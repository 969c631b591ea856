#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

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

// The English language name of `lcid` as the language list prints it, in
// the ANSI code page and in UTF-8 (a name given in either form counts).
struct EnglishName {
  std::string ansi;
  std::string utf8;
};

EnglishName english_name(LCID lcid) {
  EnglishName name;
  char ansi[256];
  const int length = ::GetLocaleInfoA(lcid, LOCALE_SENGLANGUAGE, ansi, sizeof ansi);
  if (length > 1) name.ansi.assign(ansi, static_cast<size_t>(length - 1));
  wchar_t wide[256];
  const int units = ::GetLocaleInfoW(lcid, LOCALE_SENGLANGUAGE, wide, 256);
  if (units > 1) {
    char utf8[1024];
    const int bytes =
        ::WideCharToMultiByte(CP_UTF8, 0, wide, units - 1, utf8, sizeof utf8, nullptr, nullptr);
    if (bytes > 0) name.utf8.assign(utf8, static_cast<size_t>(bytes));
  }
  return name;
}

// The locale's name without its region: "sr-Latn-RS" gives "sr" and "Latn".
std::wstring locale_name_of(LCID lcid) {
  wchar_t name[LOCALE_NAME_MAX_LENGTH];
  if (::LCIDToLocaleName(lcid, name, LOCALE_NAME_MAX_LENGTH, 0) <= 0) return {};
  return name;
}

std::wstring language_code_of(LCID lcid) {
  const std::wstring name = locale_name_of(lcid);
  return name.substr(0, name.find(L'-'));
}

// The specific locale that a language code stands for ("es" is Spain's
// modern sort, "zh" Chinese of China).
LCID default_locale_of(const std::wstring& language) {
  return language.empty() ? 0 : ::LocaleNameToLCID(language.c_str(), 0);
}

// The installed locales whose English language name is `name` (exactly, or,
// in `base_matches`, before its bracketed script: "Chinese" for "Chinese
// (Simplified)").
struct NameSearch {
  std::string_view name;
  std::vector<LCID> matches;
  std::vector<LCID> base_matches;
};
thread_local NameSearch* searching = nullptr;  // EnumSystemLocalesA passes no context

BOOL CALLBACK match_language(LPSTR locale_text) {
  if (searching == nullptr) return FALSE;
  const LCID lcid = static_cast<LCID>(std::strtoul(locale_text, nullptr, 16));
  const EnglishName name = english_name(lcid);
  for (const std::string& form : {name.ansi, name.utf8}) {
    if (form.empty()) continue;
    if (same_caseless(form, searching->name)) {
      searching->matches.push_back(lcid);
      break;
    }
    const size_t open = form.find(" (");
    if (open != std::string::npos && same_caseless(form.substr(0, open), searching->name)) {
      searching->base_matches.push_back(lcid);
      break;
    }
  }
  return TRUE;
}

// Of the locales of one language name, the language's default one when it
// is among them (English of the United States, not of Britain), else the
// first by identifier.
LCID pick(const std::vector<LCID>& matches) {
  if (matches.empty()) return 0;
  const LCID preferred = default_locale_of(language_code_of(matches.front()));
  for (const LCID lcid : matches) {
    if (lcid == preferred) return lcid;
  }
  LCID lowest = matches.front();
  for (const LCID lcid : matches) lowest = std::min(lowest, lcid);
  return lowest;
}

LCID find_by_english_name(std::string_view name) {
  NameSearch search{name};
  searching = &search;
  ::EnumSystemLocalesA(match_language, LCID_INSTALLED);
  searching = nullptr;
  if (!search.matches.empty()) return pick(search.matches);
  if (search.base_matches.empty()) return 0;
  // A language name without the script: the language's own default locale.
  const LCID preferred = default_locale_of(language_code_of(search.base_matches.front()));
  return preferred != 0 ? preferred : pick(search.base_matches);
}

// The locale id the rest of the program knows: the language and, where the
// locale names one, its script ("sr_Latn"); Chinese always with its script.
std::string locale_id_of(LCID lcid) {
  const std::wstring name = locale_name_of(lcid);
  std::vector<std::wstring> parts;
  for (size_t at = 0; at <= name.size();) {
    const size_t end = std::min(name.find(L'-', at), name.size());
    parts.push_back(name.substr(at, end - at));
    at = end + 1;
  }
  std::wstring id = parts.front();
  std::wstring script;
  for (size_t i = 1; i < parts.size(); ++i) {
    if (parts[i].size() == 4) script = parts[i];
  }
  if (id == L"zh" && script.empty() && parts.size() > 1) {
    const std::wstring& region = parts.back();
    script = region == L"TW" || region == L"HK" || region == L"MO" ? L"Hant" : L"Hans";
  }
  if (!script.empty()) id += L"_" + script;
  return std::string(id.begin(), id.end());
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

  SourceLanguage language;
  language.locale_id = locale_id_of(lcid);
  if (language.locale_id.empty()) return std::nullopt;
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
