// The compressor's match search over one input block. It gives exactly the
// match that trying every earlier position of the window in turn, from the
// farthest to the nearest, would give: the longest one, and among equally
// long ones the farthest. It finds it through chains of the earlier positions
// that share the current position's first bytes, walked from the far end of
// the window, so that a text chunk costs a few candidates per position
// instead of thousands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace lexbuild {

struct Match {
  size_t length = 0;    // 0 when no earlier position shares even two bytes
  size_t distance = 0;  // how far back the match starts, 1 to 8192
};

class MatchFinder {
 public:
  MatchFinder();

  /// Starts on `block`, which must stay alive and unchanged while find() is
  /// used on it. A block of more than kInputBlockSize bytes throws
  /// std::invalid_argument.
  void index(std::span<const uint8_t> block);

  /// The longest match for the bytes at `pos` among the positions at most
  /// 8192 back, farthest among the longest, and at most 255 bytes and the rest
  /// of the block long. A length of 2 is the farthest 2-byte repeat, reported
  /// even beyond the distance where it may be coded; lengths of 1 are not
  /// reported. Calls must come with increasing `pos`.
  Match find(size_t pos);

 private:
  static constexpr uint16_t kNone = 0xFFFF;  // above every position of a block
  static constexpr int kHashBits = 15;
  /// The farthest positions tried one by one before the chains are used.
  static constexpr size_t kProbeSpan = 32;
  /// Up to this position the whole window is searched one position at a time.
  static constexpr size_t kSmallWindow = 64;

  static uint32_t hash3(const uint8_t* p) {
    const uint32_t v = (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
    return (v * 2654435761u) >> (32 - kHashBits);
  }
  static uint32_t key2(const uint8_t* p) { return (uint32_t{p[0]} << 8) | p[1]; }

  /// Links every position of the block into the chains, once per block.
  void link_block();
  /// The longest and farthest match among the positions from `low` to
  /// `end`, tried one by one; it ends at the first of full length.
  Match search_from(size_t low, size_t end, size_t pos, size_t max_length) const;

  // One chain per key: the positions that give it, in ascending order.
  struct Chains {
    explicit Chains(size_t keys);
    /// Empties the heads set by the last link(), instead of sweeping the table.
    void clear();
    /// Links `count` positions whose keys `key_at(p)` gives, in one backward
    /// pass that leaves each head at the first position with its key.
    template <typename KeyAt>
    void link(size_t count, KeyAt key_at) {
      linked = count;
      for (size_t p = count; p-- > 0;) {
        const auto key = static_cast<uint16_t>(key_at(p));
        keys[p] = key;
        next[p] = head[key];
        head[key] = static_cast<uint16_t>(p);
      }
    }
    /// Moves the key's head to its first position at or after `low` and returns it.
    uint16_t first_from(uint32_t key, size_t low) {
      uint16_t& h = head[key];
      while (h < low) h = next[h];
      return h;
    }

    std::vector<uint16_t> head;  // first position not below the window, or kNone
    std::vector<uint16_t> next;  // per position, the next one with the same key, or kNone
    std::vector<uint16_t> keys;  // per position, its key
    size_t linked = 0;
  };

  std::span<const uint8_t> block_;
  bool linked_ = false;  // whether the chains hold this block
  bool probe_next_ = true;
  Chains chains3_;  // by a hash of the first three bytes
  Chains chains2_;  // by the first two bytes
};

}  // namespace lexbuild
