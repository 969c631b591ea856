#include <unicode/uloc.h>
#include <unicode/unistr.h>

#include "platform/languages.h"

namespace lexbuild::platform {

std::vector<std::string> installed_language_names() {
  std::vector<std::string> names;
  const int32_t count = uloc_countAvailable();
  for (int32_t i = 0; i < count; ++i) {
    UChar name[256];
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = uloc_getDisplayLanguage(uloc_getAvailable(i), "en", name, 256, &status);
    if (U_FAILURE(status) || length <= 0 || length >= 256) continue;  // no usable name
    std::string text;
    icu::UnicodeString(name, length).toUTF8String(text);
    names.push_back(std::move(text));
  }
  return names;
}

}  // namespace lexbuild::platform
