#include <windows.h>

#include <clocale>
#include <cstdlib>
#include <string>

#include "platform/code_page.h"

namespace lexbuild::platform {
namespace {

// Puts the C run-time's character locale back as it was when the object ends.
class CtypeLocaleGuard {
 public:
  CtypeLocaleGuard() {
    const char* current = std::setlocale(LC_CTYPE, nullptr);
    saved_ = current != nullptr ? current : "C";
  }
  ~CtypeLocaleGuard() { std::setlocale(LC_CTYPE, saved_.c_str()); }
  CtypeLocaleGuard(const CtypeLocaleGuard&) = delete;
  CtypeLocaleGuard& operator=(const CtypeLocaleGuard&) = delete;

 private:
  std::string saved_;
};

}  // namespace

// Each byte is converted on its own by the C run-time's mbtowc in a locale of
// that code page: the conversion the program's text goes through on Windows.
std::optional<CodePageTable> load_code_page(int code_page) {
  const CtypeLocaleGuard guard;
  const std::string name = "." + std::to_string(code_page);
  if (std::setlocale(LC_CTYPE, name.c_str()) == nullptr) return std::nullopt;

  CodePageTable table;
  table.code_page = code_page;
  for (int b = 1; b < 256; ++b) {
    const char byte = static_cast<char>(b);
    wchar_t unit = 0;
    std::mbtowc(nullptr, nullptr, 0);  // no state left from the byte before
    // A lead byte of a double-byte code page is cut short and fails.
    if (std::mbtowc(&unit, &byte, 1) == 1) {
      table.units[b] = static_cast<char16_t>(unit);
      table.defined.set(b);
    }
  }
  table.units[0] = 0;
  table.defined.set(0);
  return table;
}

// The system's own table already converts every byte as Windows does.
void add_windows_private_use(CodePageTable& /*table*/) {}

// The lower-case mapping that the C run-time's tolower applies in a locale
// (through LCMapString), one character at a time.
char32_t simple_lower_case(char32_t c) {
  if (c > 0xFFFF) return c;
  const wchar_t unit = static_cast<wchar_t>(c);
  wchar_t lowered = unit;
  if (::LCMapStringW(LOCALE_INVARIANT, LCMAP_LOWERCASE, &unit, 1, &lowered, 1) != 1) return c;
  return static_cast<char32_t>(lowered);
}

}  // namespace lexbuild::platform
