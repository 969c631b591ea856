#include "support/reference_compressor.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace lexbuild::testing {
namespace {

constexpr size_t kBlock = 17664;
constexpr ptrdiff_t kWindow = 8192;
constexpr ptrdiff_t kLongest = 255;

// Its own packet writer too, kept apart from the program's: the flag word,
// the data bytes collected for the packet, and a packet written whole on its
// 16th flag bit.
class Packets {
 public:
  explicit Packets(std::vector<uint8_t>& out) : out_(out) {}

  void put_flag_bit(unsigned bit) {
    flag_ = static_cast<uint16_t>((flag_ >> 1) | ((bit & 1) << 15));
    if (++bits_ == 16) {
      write_packet(flag_);
      bits_ = 0;
    }
  }
  void put_byte(uint8_t byte) { data_.at(count_++) = byte; }
  void flush_last_packet() {
    write_packet(bits_ == 0 ? 0 : static_cast<uint16_t>(flag_ >> (16 - bits_)));
  }

 private:
  void write_packet(uint16_t flag) {
    out_.push_back(static_cast<uint8_t>(flag));
    out_.push_back(static_cast<uint8_t>(flag >> 8));
    out_.insert(out_.end(), data_.begin(), data_.begin() + count_);
    count_ = 0;
  }

  std::vector<uint8_t>& out_;
  uint16_t flag_ = 0;
  int bits_ = 0;
  std::array<uint8_t, 34> data_{};
  size_t count_ = 0;
};

void code_block(const uint8_t* block, ptrdiff_t n, Packets& packets) {
  packets.put_flag_bit(1);
  packets.put_byte(block[0]);
  ptrdiff_t d = 1;
  while (d < n) {
    // Try every earlier position from the farthest; keep a strictly longer match.
    const ptrdiff_t maxlen = std::min(kLongest, n - d);
    ptrdiff_t best = 0;
    ptrdiff_t best_j = 0;
    for (ptrdiff_t j = -std::min(d, kWindow); j < 0; ++j) {
      if (block[d + j] != block[d]) continue;
      ptrdiff_t i = 0;
      while (i < maxlen && block[d + i] == block[d + j + i]) ++i;
      if (i > best) {
        best = i;
        best_j = j;
        if (i == maxlen) break;
      }
    }
    const ptrdiff_t distance = -best_j;
    if ((best >= 2 && distance <= 255) || (best >= 3 && distance > 255)) {
      packets.put_flag_bit(0);
      if (best <= 5 && distance <= 255) {
        packets.put_flag_bit(0);
        packets.put_flag_bit(static_cast<unsigned>((best - 2) >> 1));
        packets.put_flag_bit(static_cast<unsigned>(best - 2));
        packets.put_byte(static_cast<uint8_t>(256 - distance));
      } else {
        const auto w = static_cast<unsigned>(8192 - distance);
        packets.put_flag_bit(1);
        packets.put_byte(static_cast<uint8_t>(w & 0xFF));
        if (best <= 9) {
          packets.put_byte(static_cast<uint8_t>(((w >> 8) << 3) | (best - 2)));
        } else {
          packets.put_byte(static_cast<uint8_t>((w >> 8) << 3));
          packets.put_byte(static_cast<uint8_t>(best));
        }
      }
      d += best;
    } else {
      packets.put_flag_bit(1);
      packets.put_byte(block[d]);
      ++d;
    }
  }
}

}  // namespace

std::vector<uint8_t> reference_compress(std::span<const uint8_t> input) {
  std::vector<uint8_t> out;
  Packets packets(out);
  for (size_t start = 0; start < input.size(); start += kBlock) {
    const size_t n = std::min(kBlock, input.size() - start);
    code_block(input.data() + start, static_cast<ptrdiff_t>(n), packets);
  }
  packets.put_flag_bit(0);
  packets.put_flag_bit(1);
  packets.put_byte(0x01);
  packets.put_byte(0x00);
  packets.put_byte(0x00);
  packets.flush_last_packet();
  return out;
}

}  // namespace lexbuild::testing
