#include "compiler/decompressor.h"

#include <algorithm>

#include "compiler/compressed_format.h"

namespace lexbuild {
namespace {

/// The reader's decoding steps over a bounded input. Each step returns false
/// when the stream is damaged, with the status set.
class StreamDecoder {
 public:
  StreamDecoder(std::span<const uint8_t> in, size_t limit, DecodeResult& result)
      : in_(in), limit_(limit), result_(result) {}

  void run() {
    if (!read_flag_word()) {
      fail(DecodeStatus::kTruncated);
      return;
    }
    for (;;) {
      item_start_ = pos_;
      unsigned bit;
      if (!take_bit(bit)) return;
      if (bit == 1) {
        uint8_t byte;
        if (!read_byte(byte) || !emit_literal(byte)) return;
        continue;
      }
      if (!take_bit(bit)) return;
      size_t length;
      size_t distance;
      if (bit == 1) {
        // Long match, or the end marker when the length byte is 0.
        uint8_t a;
        uint8_t b;
        if (!read_byte(a) || !read_byte(b)) return;
        distance = compressed::kWindowSize - (a + 256u * (b >> 3));
        if ((b & 7) != 0) {
          length = (b & 7u) + 2;
        } else {
          uint8_t c;
          if (!read_byte(c)) return;
          if (c == 0) break;
          length = c;
        }
      } else {
        unsigned l1;
        unsigned l0;
        uint8_t d;
        if (!take_bit(l1) || !take_bit(l0) || !read_byte(d)) return;
        length = 2 * l1 + l0 + 2;
        distance = 256u - d;
      }
      if (!copy_match(length, distance)) return;
    }
    result_.consumed = pos_;
  }

 private:
  bool read_flag_word() {
    if (in_.size() - pos_ < 2) return false;
    flag_word_ = static_cast<uint16_t>(in_[pos_] | (in_[pos_ + 1] << 8));
    pos_ += 2;
    bits_left_ = compressed::kFlagBitsPerPacket;
    return true;
  }

  // The next flag word is read as soon as the last bit of one is taken,
  // before any data byte of the current item.
  bool take_bit(unsigned& bit) {
    bit = flag_word_ & 1u;
    if (--bits_left_ == 0) {
      if (!read_flag_word()) return fail(DecodeStatus::kTruncated);
    } else {
      flag_word_ >>= 1;
    }
    return true;
  }

  bool read_byte(uint8_t& byte) {
    if (pos_ >= in_.size()) return fail(DecodeStatus::kTruncated);
    byte = in_[pos_++];
    return true;
  }

  bool emit_literal(uint8_t byte) {
    if (out().size() >= limit_) return fail(DecodeStatus::kOutputLimit);
    make_room(1);
    out().push_back(byte);
    return true;
  }

  bool copy_match(size_t length, size_t distance) {
    if (distance > out().size()) return fail(DecodeStatus::kMatchBeforeStart);
    if (length > limit_ - out().size()) return fail(DecodeStatus::kOutputLimit);
    // One byte at a time: the source may overlap the bytes being produced.
    make_room(length);
    std::vector<uint8_t>& data = out();
    const size_t start = data.size();
    data.resize(start + length);
    for (size_t k = start; k < start + length; ++k) data[k] = data[k - distance];
    return true;
  }

  bool fail(DecodeStatus status) {
    result_.status = status;
    result_.error_offset = item_start_;
    result_.consumed = pos_;
    return false;
  }

  /// Grows the output's capacity for `count` more bytes (checked against the
  /// limit already) without ever reserving past the limit.
  void make_room(size_t count) {
    std::vector<uint8_t>& data = out();
    if (data.capacity() - data.size() >= count) return;
    data.reserve(std::min(limit_, std::max(data.capacity() * 2, data.size() + count)));
  }

  std::vector<uint8_t>& out() { return result_.output; }

  std::span<const uint8_t> in_;
  size_t limit_;
  DecodeResult& result_;
  size_t pos_ = 0;
  uint16_t flag_word_ = 0;
  unsigned bits_left_ = 0;
  size_t item_start_ = 0;
};

}  // namespace

std::string DecodeResult::message() const {
  const std::string at = " at byte " + std::to_string(error_offset);
  switch (status) {
    case DecodeStatus::kOk:
      return "no failure";
    case DecodeStatus::kTruncated:
      return "the compressed data ends inside the item" + at + ", before its end marker";
    case DecodeStatus::kMatchBeforeStart:
      return "a match" + at + " reaches back before the start of the data";
    case DecodeStatus::kOutputLimit:
      return "the item" + at + " would decode to more than " + std::to_string(output_limit) +
             " bytes";
  }
  return "unknown failure";
}

DecodeResult decompress_stream(std::span<const uint8_t> stream, size_t output_limit) {
  DecodeResult result;
  result.output_limit = output_limit;
  // Enough for most chunks at once; a hostile stream still cannot make the
  // output grow past the limit.
  result.output.reserve(std::min(output_limit, stream.size() * 4));
  StreamDecoder(stream, output_limit, result).run();
  return result;
}

}  // namespace lexbuild
