#include <unicode/uchar.h>
#include <unicode/uloc.h>
#include <unicode/unistr.h>

#include <algorithm>
#include <array>

#include "platform/language_lookup.h"

namespace lexbuild::platform {
namespace {

struct LanguageCodePage {
  const char* language;  // ISO 639 code
  const char* script;    // ISO 15924 code where the code page depends on it, else ""
  int code_page;
};

// Languages whose Windows locale has an ANSI code page. Where one language
// appears with several scripts, the first entry is the one its bare name
// selects.
constexpr LanguageCodePage kLanguages[] = {
    // Central European
    {"cs", "", 1250},
    {"hr", "", 1250},
    {"hu", "", 1250},
    {"pl", "", 1250},
    {"ro", "", 1250},
    {"sk", "", 1250},
    {"sl", "", 1250},
    {"sq", "", 1250},
    {"tk", "", 1250},
    {"bs", "Latn", 1250},
    {"bs", "Cyrl", 1251},
    {"sr", "Latn", 1250},
    {"sr", "Cyrl", 1251},
    // Cyrillic
    {"ru", "", 1251},
    {"uk", "", 1251},
    {"be", "", 1251},
    {"bg", "", 1251},
    {"mk", "", 1251},
    {"kk", "", 1251},
    {"ky", "", 1251},
    {"tt", "", 1251},
    {"ba", "", 1251},
    {"sah", "", 1251},
    {"tg", "", 1251},
    {"mn", "Cyrl", 1251},
    // Western European and other Latin-script languages
    {"en", "", 1252},
    {"de", "", 1252},
    {"fr", "", 1252},
    {"es", "", 1252},
    {"it", "", 1252},
    {"nl", "", 1252},
    {"pt", "", 1252},
    {"sv", "", 1252},
    {"da", "", 1252},
    {"no", "", 1252},
    {"nb", "", 1252},
    {"nn", "", 1252},
    {"fi", "", 1252},
    {"is", "", 1252},
    {"fo", "", 1252},
    {"af", "", 1252},
    {"ca", "", 1252},
    {"eu", "", 1252},
    {"gl", "", 1252},
    {"br", "", 1252},
    {"co", "", 1252},
    {"oc", "", 1252},
    {"rm", "", 1252},
    {"lb", "", 1252},
    {"fy", "", 1252},
    {"ga", "", 1252},
    {"gd", "", 1252},
    {"cy", "", 1252},
    {"gsw", "", 1252},
    {"kl", "", 1252},
    {"id", "", 1252},
    {"ms", "", 1252},
    {"fil", "", 1252},
    {"sw", "", 1252},
    {"rw", "", 1252},
    {"xh", "", 1252},
    {"zu", "", 1252},
    {"tn", "", 1252},
    {"nso", "", 1252},
    {"wo", "", 1252},
    {"yo", "", 1252},
    {"ig", "", 1252},
    {"ha", "Latn", 1252},
    {"qu", "", 1252},
    {"se", "", 1252},
    {"sma", "", 1252},
    {"smj", "", 1252},
    {"smn", "", 1252},
    {"sms", "", 1252},
    {"dsb", "", 1252},
    {"hsb", "", 1252},
    {"moh", "", 1252},
    {"arn", "", 1252},
    {"iu", "Latn", 1252},
    {"tzm", "Latn", 1252},
    // Greek, Turkish, Hebrew, Arabic script, Baltic, Vietnamese, Thai
    {"el", "", 1253},
    {"tr", "", 1254},
    {"az", "Latn", 1254},
    {"az", "Cyrl", 1251},
    {"uz", "Latn", 1254},
    {"uz", "Cyrl", 1251},
    {"he", "", 1255},
    {"ar", "", 1256},
    {"fa", "", 1256},
    {"ur", "", 1256},
    {"ug", "", 1256},
    {"et", "", 1257},
    {"lv", "", 1257},
    {"lt", "", 1257},
    {"vi", "", 1258},
    {"th", "", 874},
    // Double-byte code pages
    {"ja", "", 932},
    {"zh", "Hans", 936},
    {"zh", "Hant", 950},
    {"ko", "", 949},
};

icu::UnicodeString display_language(const char* language) {
  UChar name[128];
  UErrorCode status = U_ZERO_ERROR;
  const int32_t length = uloc_getDisplayLanguage(language, "en", name, 128, &status);
  if (U_FAILURE(status) || length <= 0 || length >= 128) return {};
  return icu::UnicodeString(name, length);
}

icu::UnicodeString display_script(const char* script) {
  const std::string id = std::string("und_") + script;
  UChar name[128];
  UErrorCode status = U_ZERO_ERROR;
  const int32_t length = uloc_getDisplayScript(id.c_str(), "en", name, 128, &status);
  if (U_FAILURE(status) || length <= 0 || length >= 128) return {};
  return icu::UnicodeString(name, length);
}

bool same_caseless(const icu::UnicodeString& a, const icu::UnicodeString& b) {
  return !a.isEmpty() && a.caseCompare(b, U_FOLD_CASE_DEFAULT) == 0;
}

SourceLanguage language_of(const LanguageCodePage& entry) {
  std::string id = entry.language;
  if (*entry.script) id += std::string("_") + entry.script;
  return SourceLanguage{id, entry.code_page};
}

// "Chinese (Simplified)": the language's English name and, in brackets, the
// start of its script's English name ("Simplified Han").
std::optional<SourceLanguage> find_by_english_name(const icu::UnicodeString& name) {
  icu::UnicodeString base = name;
  icu::UnicodeString script_name;
  const int32_t open = name.indexOf(u" (");
  if (open > 0 && name.endsWith(u")")) {
    base = name.tempSubString(0, open);
    script_name = name.tempSubString(open + 2, name.length() - open - 3);
  }
  for (const LanguageCodePage& entry : kLanguages) {
    const icu::UnicodeString language = display_language(entry.language);
    if (same_caseless(name, language)) return language_of(entry);
    if (script_name.isEmpty() || !*entry.script || !same_caseless(base, language)) continue;
    const icu::UnicodeString script = display_script(entry.script);
    if (same_caseless(script_name, script.tempSubString(0, script_name.length()))) {
      return language_of(entry);
    }
  }
  return std::nullopt;
}

// "ru", "ru_RU", "zh-TW", "sr_Latn_RS".
std::optional<SourceLanguage> find_by_locale_id(std::string_view name) {
  std::string id(name);
  for (char& c : id) {
    const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                         (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.' || c == '@';
    if (!allowed) return std::nullopt;
    if (c == '-') c = '_';
  }
  char language[16];
  char script[16];
  char full[64];
  UErrorCode status = U_ZERO_ERROR;
  uloc_getLanguage(id.c_str(), language, sizeof language, &status);
  // The script, when the id does not give it, is the one the language is
  // most often written in there ("zh_TW" is Traditional Han).
  uloc_addLikelySubtags(id.c_str(), full, sizeof full, &status);
  uloc_getScript(full, script, sizeof script, &status);
  if (U_FAILURE(status) || status == U_STRING_NOT_TERMINATED_WARNING) return std::nullopt;
  const std::string_view lang(language);
  for (const LanguageCodePage& entry : kLanguages) {
    if (lang != entry.language) continue;
    if (*entry.script && std::string_view(script) != entry.script) continue;
    return language_of(entry);
  }
  return std::nullopt;
}

// A language of the locales ICU has that is not in the table above: its
// text has no ANSI code page. `name` is its English name or a locale id.
std::optional<SourceLanguage> find_unicode_only(const icu::UnicodeString& name,
                                                std::string_view id) {
  std::string wanted_code;
  if (!id.empty() && id.size() < 64) {
    char language[16];
    UErrorCode status = U_ZERO_ERROR;
    uloc_getLanguage(std::string(id).c_str(), language, sizeof language, &status);
    if (U_SUCCESS(status) && status != U_STRING_NOT_TERMINATED_WARNING) wanted_code = language;
  }
  const int32_t count = uloc_countAvailable();
  for (int32_t i = 0; i < count; ++i) {
    const char* locale = uloc_getAvailable(i);
    char language[16];
    UErrorCode status = U_ZERO_ERROR;
    uloc_getLanguage(locale, language, sizeof language, &status);
    if (U_FAILURE(status) || status == U_STRING_NOT_TERMINATED_WARNING) continue;
    if ((!wanted_code.empty() && wanted_code == language) ||
        same_caseless(name, display_language(language))) {
      return SourceLanguage{language, 0};
    }
  }
  return std::nullopt;
}

bool is_locale_id(std::string_view name) {
  return std::ranges::all_of(name, [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           c == '_' || c == '-' || c == '.' || c == '@';
  });
}

}  // namespace

std::optional<SourceLanguage> find_source_language(std::string_view name) {
  if (name.empty()) return std::nullopt;
  const icu::UnicodeString text = icu::UnicodeString::fromUTF8(
      icu::StringPiece(name.data(), static_cast<int32_t>(name.size())));
  // The two names of the "C" locale itself.
  if (same_caseless(text, u"C") || same_caseless(text, u"POSIX")) return std::nullopt;
  if (auto found = find_by_english_name(text)) return found;
  if (auto found = find_by_locale_id(name)) return found;
  return find_unicode_only(text, is_locale_id(name) ? name : std::string_view());
}

}  // namespace lexbuild::platform
