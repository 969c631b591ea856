// Decodes one compressed stream the way the handheld reader does, for the
// inspector and for checking the compressor. The input may be damaged or
// hostile: every read is checked against its end, every match against the
// bytes decoded so far, and the output never grows past a caller's limit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace lexbuild {

enum class DecodeStatus {
  kOk,
  // The input ends before the end marker. Flag words are read ahead, so a
  // stream that lacks its end marker always runs out inside some item.
  kTruncated,
  kMatchBeforeStart,  // a match reaches back past the first decoded byte
  kOutputLimit,       // the decoded bytes would exceed the caller's limit
};

struct DecodeResult {
  DecodeStatus status = DecodeStatus::kOk;
  /// The decoded bytes; on a failure, those decoded before it.
  std::vector<uint8_t> output;
  /// Stream bytes read up to and including the end marker's last byte, or up
  /// to the failure. A stream may be followed by padding that is not read.
  size_t consumed = 0;
  /// Offset of the item (its first data byte, or the flag word that holds its
  /// first bit) where a failure was found.
  size_t error_offset = 0;
  size_t output_limit = 0;

  bool ok() const { return status == DecodeStatus::kOk; }
  /// What went wrong, with the offset: "a match at byte 14 reaches back before the start of the
  /// data".
  std::string message() const;
};

/// Decodes the stream at the start of `stream`, producing at most
/// `output_limit` bytes.
DecodeResult decompress_stream(std::span<const uint8_t> stream, size_t output_limit);

}  // namespace lexbuild
