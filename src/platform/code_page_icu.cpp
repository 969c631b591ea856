#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <initializer_list>
#include <memory>
#include <string>

#include "platform/code_page.h"

namespace lexbuild::platform {
namespace {

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};

// Bytes that Windows converts to private-use characters, numbered on in
// byte order, where ICU's converters leave them undefined (or, for byte AA of
// 1253, give the feminine ordinal, which sorts among the letters).
struct PrivateUseBytes {
  int code_page;
  char16_t first_unit;
  std::initializer_list<uint8_t> bytes;
};

const PrivateUseBytes kPrivateUseBytes[] = {
    {1253, 0xF8F9, {0xAA, 0xD2, 0xFF}},
    {1255, 0xF88D, {0xCA, 0xD9, 0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF, 0xFB, 0xFC, 0xFF}},
};

}  // namespace

void add_windows_private_use(CodePageTable& table) {
  for (const PrivateUseBytes& entry : kPrivateUseBytes) {
    if (entry.code_page != table.code_page) continue;
    char16_t unit = entry.first_unit;
    for (uint8_t b : entry.bytes) {
      table.units[b] = unit++;
      table.defined.set(b);
    }
  }
}

std::optional<CodePageTable> load_code_page(int code_page) {
  UErrorCode status = U_ZERO_ERROR;
  const std::string name = "windows-" + std::to_string(code_page);
  std::unique_ptr<UConverter, ConverterCloser> converter(ucnv_open(name.c_str(), &status));
  if (U_FAILURE(status) || !converter) return std::nullopt;
  // A byte without a mapping must fail rather than become a substitute, so
  // that it can be told apart from a real character.
  ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  if (U_FAILURE(status)) return std::nullopt;

  CodePageTable table;
  table.code_page = code_page;
  for (int b = 0; b < 256; ++b) {
    const char byte = static_cast<char>(b);
    UChar units[4];
    status = U_ZERO_ERROR;
    ucnv_reset(converter.get());
    // Converting the byte alone: a lead byte of a double-byte code page ends
    // truncated and counts as undefined.
    const int32_t length = ucnv_toUChars(converter.get(), units, 4, &byte, 1, &status);
    if (U_SUCCESS(status) && length == 1) {
      table.units[b] = units[0];
      table.defined.set(b);
    }
  }
  return table;
}

char32_t simple_lower_case(char32_t c) {
  return static_cast<char32_t>(u_tolower(static_cast<UChar32>(c)));
}

}  // namespace lexbuild::platform
