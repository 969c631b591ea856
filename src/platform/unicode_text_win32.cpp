#include <windows.h>

#include <algorithm>
#include <climits>

#include "platform/unicode_text.h"

namespace lexbuild::platform {
namespace {

// MultiByteToWideChar counts in int: texts go in pieces of at most this
// many bytes, each ending at the start of a character.
constexpr size_t kPiece = 1 << 30;

std::vector<uint8_t> to_bytes(std::wstring_view units) {
  std::vector<uint8_t> out;
  out.reserve(units.size() * 2);
  for (const wchar_t unit : units) {
    out.push_back(static_cast<uint8_t>(unit));
    out.push_back(static_cast<uint8_t>(unit >> 8));
  }
  return out;
}

// The wide characters of UTF-8 `text`; with MB_ERR_INVALID_CHARS in
// `flags`, false as soon as a piece holds an invalid sequence.
bool utf8_to_wide(const char* text, size_t size, DWORD flags, std::wstring& out) {
  size_t done = 0;
  while (done < size) {
    size_t piece = std::min(size - done, kPiece);
    // Not within a character: back off over continuation bytes.
    if (done + piece < size) {
      while (piece > 1 && (static_cast<uint8_t>(text[done + piece]) & 0xC0) == 0x80) --piece;
    }
    const int length =
        ::MultiByteToWideChar(CP_UTF8, flags, text + done, static_cast<int>(piece), nullptr, 0);
    if (length <= 0) return false;
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(length));
    ::MultiByteToWideChar(CP_UTF8, flags, text + done, static_cast<int>(piece), out.data() + at,
                          length);
    done += piece;
  }
  return true;
}

// Bytes of the UTF-8 sequence that `lead` starts (1 for an invalid lead byte).
size_t sequence_length(uint8_t lead) {
  if (lead < 0xC0) return 1;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  return 4;
}

}  // namespace

std::string utf16le_to_utf8(std::span<const uint8_t> bytes) {
  std::wstring units;
  units.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    units.push_back(static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8)));
  }
  std::string out;
  size_t done = 0;
  while (done < units.size()) {
    size_t piece = std::min(units.size() - done, kPiece / 4);
    // A surrogate pair stays in one piece.
    if (done + piece < units.size() && units[done + piece] >= 0xDC00 &&
        units[done + piece] <= 0xDFFF) {
      --piece;
    }
    const wchar_t* from = units.data() + done;
    const int size = static_cast<int>(piece);
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, from, size, nullptr, 0, nullptr, nullptr);
    if (length <= 0) break;
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(length));
    ::WideCharToMultiByte(CP_UTF8, 0, from, size, out.data() + at, length, nullptr, nullptr);
    done += piece;
  }
  return out;
}

std::vector<uint8_t> utf8_to_utf16le(std::string_view text) {
  std::wstring units;
  utf8_to_wide(text.data(), text.size(), 0, units);  // invalid sequences become U+FFFD
  return to_bytes(units);
}

std::optional<size_t> append_utf16_of_utf8(std::span<const uint8_t> text, std::u16string& out) {
  const char* bytes = reinterpret_cast<const char*>(text.data());
  std::wstring units;
  if (utf8_to_wide(bytes, text.size(), MB_ERR_INVALID_CHARS, units)) {
    out.append(units.begin(), units.end());
    return std::nullopt;
  }
  // Somewhere a sequence is invalid: convert one character at a time up to it.
  size_t done = 0;
  while (done < text.size()) {
    const size_t length = std::min(sequence_length(text[done]), text.size() - done);
    wchar_t pair[2];
    const int converted = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes + done,
                                                static_cast<int>(length), pair, 2);
    if (converted <= 0) return done;
    out.append(pair, pair + converted);
    done += length;
  }
  return std::nullopt;
}

std::optional<size_t> append_bytes_of_utf8(std::span<const uint8_t> text,
                                           std::span<const int16_t> byte_of,
                                           std::vector<uint8_t>& out,
                                           std::vector<char32_t>& missing) {
  std::u16string units;
  const std::optional<size_t> bad = append_utf16_of_utf8(text, units);
  for (size_t i = 0; i < units.size(); ++i) {
    const char16_t unit = units[i];
    const int byte = byte_of[unit];  // -1 for every surrogate
    if (byte >= 0) {
      out.push_back(static_cast<uint8_t>(byte));
      continue;
    }
    char32_t code = unit;
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    }
    missing.push_back(code);
  }
  return bad;
}

std::vector<uint8_t> utf8_to_utf16le_lower(std::string_view text) {
  std::wstring units;
  utf8_to_wide(text.data(), text.size(), 0, units);
  if (units.empty()) return {};
  std::wstring lower(units.size(), L'\0');
  const int length = static_cast<int>(units.size());
  if (::LCMapStringW(LOCALE_INVARIANT, LCMAP_LOWERCASE, units.data(), length, lower.data(),
                     length) != length) {
    return to_bytes(units);
  }
  return to_bytes(lower);
}

}  // namespace lexbuild::platform
