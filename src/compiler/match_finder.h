// The compressor's match search over one input block. It gives exactly the
// match that trying every earlier position of the window in turn, from the
// farthest to the nearest, would give: the longest one, and among equally
// long ones the farthest.
//
// It tries the same candidates in the same order, but only those that can
// win. Chains link the positions that share their first bytes, in ascending
// order: the walk for a match of four bytes or more visits only positions
// that share four (and, once eight agree, only those that share eight). In
// text of 16-bit characters, where four bytes are only two characters, the
// walk visits those that share five, and else the farthest that shares four
// is the match. Failing that, the longest match has three bytes, or else
// two, and the farthest one is the first position of its chain. A text
// chunk costs a candidate or two per position instead of thousands.
//
// In text of 16-bit characters half the positions are a zero before a
// character. A match from such a position is a zero and then a match from
// the next one, so the chains hold only the other positions: a zero is
// searched through the position after it, among candidates after a zero.
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
  /// Up to this position the whole window is searched one position at a time.
  static constexpr size_t kSmallWindow = 64;
  /// How far past the last full-length match a probe looks before the chains.
  static constexpr size_t kProbeSpan = 32;
  /// A walk moves to the 8-byte chain only after this many candidates: a
  /// short chain is not worth linking another table for.
  static constexpr size_t kPromoteAfter = 64;

  /// Positions of the block grouped by a key of their first bytes: for each
  /// key the first position at or after the window's start, and for each
  /// position the next one with the same key, in ascending order.
  ///
  /// Heads hold `base + position`, and `base` grows past every position of
  /// the last block when a new one starts, so a head left from an earlier
  /// block reads as a position far beyond the block: no table is swept.
  class Chains {
   public:
    explicit Chains(size_t keys);
    /// Forgets the last block's links: `base` is the new block's.
    void reset(uint32_t base);
    /// Empties every head once `base` returns to its start.
    void clear();
    /// Puts positions at the front of their chains: a view with the table
    /// and the base in registers, for the linking loops.
    struct Adder {
      uint32_t* head;
      uint32_t* next;
      uint32_t base;
      void operator()(uint32_t p, uint32_t key) const {
        next[p] = head[key] - base;
        head[key] = base + p;
      }
      /// Makes `p` the first of its chain without linking it to the rest.
      void head_only(uint32_t p, uint32_t key) const { head[key] = base + p; }
    };
    Adder adder() { return {head_.data(), next_.data(), base_}; }
    /// The key's first position at or after `low`, or a value above every
    /// position; the head moves there, as `low` only grows within a block.
    uint32_t first_from(uint32_t key, size_t low) {
      uint32_t& head = head_[key];
      uint32_t p = head - base_;
      if (p >= low) return p;
      return advance(head, p, low);
    }
    /// Per position, the next one with the same key, or a value above every position.
    const uint32_t* next() const { return next_.data(); }

   private:
    uint32_t advance(uint32_t& head, uint32_t p, size_t low);

    std::vector<uint32_t> head_;  // base + position
    std::vector<uint32_t> next_;  // position, or above every position
    uint32_t base_ = 0;
  };

  /// Links every position of the block into the chains by two, three and
  /// four bytes, in one pass; in text of 16-bit characters link_wide().
  void link_block();
  /// Links the positions of text of 16-bit characters that a match can start
  /// from directly, all but a zero before a byte other than zero, into the
  /// chains by one, three and five bytes.
  void link_wide();
  void link_eight();

  /// The longest and farthest match among the positions from `low` to
  /// `end`, tried one by one; it ends at the first of full length.
  Match search_from(size_t low, size_t end, size_t pos, size_t max_length) const;
  /// Before the chains are linked: the whole small window near the block's
  /// start, or a probe after a full-length match; else it links them and
  /// searches them.
  Match find_before_linking(size_t pos, size_t max_length);
  /// The longest and farthest match longer than `shorter` bytes, if any, from
  /// the first candidate `c` of the chain whose links are `next`: the chain
  /// by the first `shorter + 1` bytes. With `after_zero`, only candidates
  /// after `low` that follow a zero count.
  /// Kept out of find(): inlined there, it slows the searches that end
  /// without it, nearly all of them in bytes that rarely repeat.
  template <size_t shorter, bool after_zero = false>
  [[gnu::noinline]] Match longest_from(const uint32_t* next, size_t pos, size_t max_length,
                                       uint32_t c, size_t low = 0);
  /// In text of 16-bit characters, linked by link_wide(): the longest and
  /// farthest match, through the next position for a zero before a byte
  /// other than zero.
  Match search_wide_text(size_t pos, size_t max_length, size_t low);
  /// The longest and farthest match from `pos` by the chains of link_wide();
  /// with `after_zero`, among the positions after a zero in the window, and
  /// of one byte too.
  template <bool after_zero>
  Match search_wide_from(size_t pos, size_t max_length, size_t low);

  std::span<const uint8_t> block_;
  uint32_t base_ = 0;         // what the chains add to a position of this block
  bool linked_ = false;       // the chains hold this block
  bool linked8_ = false;      // and those by eight
  bool wide_ = false;         // text of 16-bit characters, linked by link_wide()
  bool full_before_ = false;  // the last match found had the full length
  size_t last_full_ = 0;      // and started here
  Chains chains8_;            // by a hash of the first eight bytes
  Chains chains5_;            // by a hash of the first five bytes
  Chains chains4_;            // by a hash of the first four bytes
  Chains chains3_;            // by a hash of the first three bytes
  Chains chains2_;            // by the first two bytes
  Chains chains1_;            // by the first byte, in text of 16-bit characters
  /// The positions that link_wide() links, ascending.
  std::vector<uint32_t> wide_positions_;
  size_t wide_count_ = 0;
};

}  // namespace lexbuild
