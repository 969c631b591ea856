#include <windows.h>

#include <cstdlib>

#include "platform/languages.h"

namespace lexbuild::platform {
namespace {

// EnumSystemLocalesA hands its callback no context of its own.
thread_local std::vector<std::string>* collecting = nullptr;

BOOL CALLBACK add_language(LPSTR locale_text) {
  const LCID lcid = static_cast<LCID>(std::strtoul(locale_text, nullptr, 16));
  char name[256];
  const int length = ::GetLocaleInfoA(lcid, LOCALE_SENGLANGUAGE, name, sizeof name);
  if (length > 1 && collecting != nullptr) collecting->emplace_back(name, length - 1);
  return TRUE;
}

}  // namespace

std::vector<std::string> installed_language_names() {
  std::vector<std::string> names;
  collecting = &names;
  ::EnumSystemLocalesA(add_language, LCID_INSTALLED);
  collecting = nullptr;
  return names;
}

}  // namespace lexbuild::platform
