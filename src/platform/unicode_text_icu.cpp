#include <unicode/locid.h>
#include <unicode/unistr.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <climits>

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

std::optional<size_t> append_utf16_of_utf8(std::span<const uint8_t> text, std::u16string& out) {
  // Written through a pointer into room for the most units the text can give
  // (one per byte), then cut to what was written: this runs over every byte
  // of a UTF-8 list.
  const size_t start = out.size();
  out.resize(start + text.size());
  char16_t* units = out.data() + start;
  size_t written = 0;
  const uint8_t* bytes = text.data();
  size_t done = 0;
  while (done < text.size()) {
    if (bytes[done] < 0x80) {
      units[written++] = bytes[done++];
      continue;
    }
    // U8_NEXT counts in int32_t: a piece of at most that size at a time. A
    // sequence is at most 4 bytes long, so it never straddles two pieces
    // unless the text itself ends there.
    const size_t piece = std::min<size_t>(text.size() - done, INT32_MAX);
    int32_t i = 0;
    UChar32 c = 0;
    U8_NEXT(bytes + done, i, static_cast<int32_t>(piece), c);
    if (c < 0) {
      out.resize(start + written);
      return done;
    }
    if (U_IS_BMP(c)) {
      units[written++] = static_cast<char16_t>(c);
    } else {
      units[written++] = static_cast<char16_t>(U16_LEAD(c));
      units[written++] = static_cast<char16_t>(U16_TRAIL(c));
    }
    done += static_cast<size_t>(i);
  }
  out.resize(start + written);
  return std::nullopt;
}

std::optional<size_t> append_bytes_of_utf8(std::span<const uint8_t> text,
                                           std::span<const int16_t> byte_of,
                                           std::vector<uint8_t>& out,
                                           std::vector<char32_t>& missing) {
  // This runs over every byte of a UTF-8 list that becomes an 8-bit
  // dictionary: written through a pointer into room for one byte a byte,
  // then cut to what was written, with everything the loop reads in locals
  // (a byte store may alias anything).
  const size_t start = out.size();
  out.resize(start + text.size());
  uint8_t* const first = out.data() + start;
  uint8_t* at = first;
  const uint8_t* const bytes = text.data();
  const int16_t* const table = byte_of.data();
  const size_t n = text.size();
  size_t done = 0;
  std::optional<size_t> bad;
  while (done < n) {
    // A run of ASCII, the bulk of most lists, in a loop of its own.
    while (done < n && bytes[done] < 0x80 && table[bytes[done]] >= 0) {
      *at++ = static_cast<uint8_t>(table[bytes[done++]]);
    }
    if (done == n) break;
    UChar32 c = bytes[done];
    if (c < 0x80) {
      ++done;
    } else {
      // U8_NEXT counts in int32_t, as in append_utf16_of_utf8().
      const size_t piece = std::min<size_t>(n - done, INT32_MAX);
      int32_t i = 0;
      U8_NEXT(bytes + done, i, static_cast<int32_t>(piece), c);
      if (c < 0) {
        bad = done;
        break;
      }
      done += static_cast<size_t>(i);
    }
    const int byte = U_IS_BMP(c) ? table[c] : -1;
    if (byte >= 0) {
      *at++ = static_cast<uint8_t>(byte);
    } else {
      missing.push_back(static_cast<char32_t>(c));
    }
  }
  out.resize(start + static_cast<size_t>(at - first));
  return bad;
}

std::vector<uint8_t> utf8_to_utf16le_lower(std::string_view text) {
  icu::UnicodeString unicode = from_utf8(text);
  unicode.toLower(icu::Locale::getRoot());
  return to_bytes(unicode);
}

}  // namespace lexbuild::platform
