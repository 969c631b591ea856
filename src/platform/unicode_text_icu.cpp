#include <unicode/locid.h>
#include <unicode/unistr.h>

#include "platform/unicode_text.h"

namespace lexbuild::platform {
namespace {

std::vector<uint8_t> to_bytes(const icu::UnicodeString& unicode) {
  std::vector<uint8_t> out;
  out.reserve(static_cast<size_t>(unicode.length()) * 2);
  for (int32_t i = 0; i < unicode.length(); ++i) {
    const UChar unit = unicode.charAt(i);
    out.push_back(static_cast<uint8_t>(unit));
    out.push_back(static_cast<uint8_t>(unit >> 8));
  }
  return out;
}

icu::UnicodeString from_utf8(std::string_view text) {
  return icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
}

}  // namespace

std::string utf16le_to_utf8(std::span<const uint8_t> bytes) {
  icu::UnicodeString text;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    text.append(static_cast<UChar>(bytes[i] | (bytes[i + 1] << 8)));
  }
  std::string out;
  text.toUTF8String(out);
  return out;
}

std::vector<uint8_t> utf8_to_utf16le(std::string_view text) { return to_bytes(from_utf8(text)); }

std::vector<uint8_t> utf8_to_utf16le_lower(std::string_view text) {
  icu::UnicodeString unicode = from_utf8(text);
  unicode.toLower(icu::Locale::getRoot());
  return to_bytes(unicode);
}

}  // namespace lexbuild::platform
