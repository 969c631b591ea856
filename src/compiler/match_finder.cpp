#include "compiler/match_finder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "compiler/compressed_format.h"

namespace lexbuild {
namespace {

constexpr int kHashBits = 15;
/// Each block's base lies this far past the last one's, beyond all its positions.
constexpr uint32_t kBaseStep = compressed::kInputBlockSize + 1;
/// Past this base the heads are emptied and the bases start over.
constexpr uint32_t kLastBase = std::numeric_limits<uint32_t>::max() - 2 * kBaseStep;

uint32_t load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

uint64_t load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

// The keys only group positions: every candidate is compared byte by byte,
// so hashes may collide, and keys may differ between hosts of either byte
// order. Each takes the first bytes as load32() or load64() gives them.
constexpr bool kLittle = std::endian::native == std::endian::little;
uint32_t key2(uint32_t four) { return kLittle ? four & 0xFFFF : four >> 16; }
uint32_t hash3(uint32_t four) {
  return ((kLittle ? four & 0xFFFFFF : four >> 8) * 0x9E3779B1u) >> (32 - kHashBits);
}
uint32_t hash4(uint32_t four) { return (four * 2654435761u) >> (32 - kHashBits); }
uint32_t hash5(uint64_t eight) {
  return static_cast<uint32_t>(
      ((kLittle ? eight << 24 : eight >> 24 << 24) * 0x9E3779B97F4A7C15u) >> (64 - kHashBits));
}
uint32_t hash8(uint64_t eight) {
  return static_cast<uint32_t>((eight * 0x9E3779B97F4A7C15u) >> (64 - kHashBits));
}

/// The first bytes at `p` as load32() gives them, with only `count` (1 to 4)
/// of them in the block and zeros for the rest.
uint32_t load_up_to_four(const uint8_t* p, size_t count) {
  if (count >= 4) return load32(p);
  uint8_t bytes[4] = {};
  std::memcpy(bytes, p, count);
  return load32(bytes);
}

/// The first bytes at `p` as load64() gives them, with only `count` (1 to 8)
/// of them in the block and zeros for the rest.
uint64_t load_up_to_eight(const uint8_t* p, size_t count) {
  if (count >= 8) return load64(p);
  uint8_t bytes[8] = {};
  std::memcpy(bytes, p, count);
  return load64(bytes);
}

/// Number of leading bytes at `a` and `b` that agree, at most `limit`. Both
/// runs lie inside the block for `limit` bytes; `a` may overlap `b`.
size_t common_length(const uint8_t* a, const uint8_t* b, size_t limit) {
  size_t k = 0;
  while (k + 8 <= limit) {
    if (const uint64_t diff = load64(a + k) ^ load64(b + k); diff != 0) {
      const int bits = kLittle ? std::countr_zero(diff) : std::countl_zero(diff);
      return k + static_cast<size_t>(bits) / 8;
    }
    k += 8;
  }
  while (k < limit && a[k] == b[k]) ++k;
  return k;
}

/// Number of zero bytes among the `n` at `data`, summed in byte-wide counts
/// 255 bytes at a time: those the compiler keeps in vector lanes, a count as
/// wide as the result it does not.
size_t count_zeros(const uint8_t* data, size_t n) {
  size_t zeros = 0;
  for (size_t start = 0; start < n; start += 255) {
    const size_t end = std::min(n, start + 255);
    uint8_t part = 0;
    for (size_t i = start; i < end; ++i) part += data[i] == 0 ? 1 : 0;
    zeros += part;
  }
  return zeros;
}

}  // namespace

// ---- Chains ----

MatchFinder::Chains::Chains(size_t keys) : head_(keys, 0), next_(compressed::kInputBlockSize) {}

void MatchFinder::Chains::reset(uint32_t base) { base_ = base; }

void MatchFinder::Chains::clear() { std::fill(head_.begin(), head_.end(), 0); }

uint32_t MatchFinder::Chains::advance(uint32_t& head, uint32_t p, size_t low) {
  // The end of a chain is above every `low`, so the walk stops there.
  while (p < low) p = next_[p];
  head = base_ + p;
  return p;
}

// ---- MatchFinder ----

MatchFinder::MatchFinder()
    : chains8_(size_t{1} << kHashBits),
      chains5_(size_t{1} << kHashBits),
      chains4_(size_t{1} << kHashBits),
      chains3_(size_t{1} << kHashBits),
      chains2_(size_t{1} << 16),
      chains1_(size_t{1} << 8),
      wide_positions_(compressed::kInputBlockSize) {}

void MatchFinder::index(std::span<const uint8_t> block) {
  // Longer blocks would overflow the positions' range below a base step.
  if (block.size() > compressed::kInputBlockSize) {
    throw std::invalid_argument("a compressor block holds at most 17664 bytes");
  }
  block_ = block;
  // Empty heads hold 0, which the first base already lies beyond.
  if (base_ == 0 || base_ > kLastBase) {
    for (Chains* chains : {&chains8_, &chains5_, &chains4_, &chains3_, &chains2_, &chains1_}) {
      chains->clear();
    }
    base_ = kBaseStep;
  } else {
    base_ += kBaseStep;
  }
  for (Chains* chains : {&chains8_, &chains5_, &chains4_, &chains3_, &chains2_, &chains1_}) {
    chains->reset(base_);
  }
  // The chains are linked only when a search first needs them: a block that
  // the probe covers (a run of one byte, a short pattern) is never linked.
  linked_ = false;
  linked8_ = false;
  wide_ = false;
  full_before_ = false;
  last_full_ = 0;
}

void MatchFinder::link_block() {
  const uint8_t* data = block_.data();
  const auto n = static_cast<uint32_t>(block_.size());
  linked_ = true;
  // In text of 16-bit characters, zeros every other byte, four bytes hold
  // only two characters, and a walk of the 4-byte chain would try about as
  // many candidates as two letters of 8-bit text have.
  if (count_zeros(data, n) * 4 >= n) {
    link_wide();
    return;
  }
  const Chains::Adder add2 = chains2_.adder();
  const Chains::Adder add3 = chains3_.adder();
  const Chains::Adder add4 = chains4_.adder();
  // From the last position down, so that each chain comes out ascending.
  // The last two positions with two bytes lack the fourth byte, one the third.
  const auto link = [&](auto put_two) {
    const uint32_t with_four = n >= 4 ? n - 3 : 0;
    for (uint32_t p = n >= 2 ? n - 1 : 0; p-- > with_four;) {
      const uint32_t four = load_up_to_four(data + p, n - p);
      put_two(p, key2(four));
      if (p + 3 <= n) add3(p, hash3(four));
    }
    for (uint32_t p = with_four; p-- > 0;) {
      const uint32_t four = load32(data + p);
      put_two(p, key2(four));
      add3(p, hash3(four));
      add4(p, hash4(four));
    }
  };
  // While the window reaches back to the block's start, as it does in a
  // block no longer than the window and one, the farthest 2-byte repeat is
  // the first position with those bytes: that chain needs only its heads.
  if (n <= compressed::kWindowSize + 1) {
    link([&add2](uint32_t p, uint32_t key) { add2.head_only(p, key); });
  } else {
    link(add2);
  }
}

void MatchFinder::link_wide() {
  const uint8_t* data = block_.data();
  const auto n = static_cast<uint32_t>(block_.size());
  // Every candidate for a match from a position shares its first byte and,
  // from a zero, its second: a position's candidates are linked unless it is
  // a zero before a byte other than zero, and those are found through the
  // next position. The last position starts no match of two bytes.
  uint32_t count = 0;
  for (uint32_t p = 0; p + 1 < n; ++p) {
    wide_positions_[count] = p;
    count += data[p] != 0 || data[p + 1] == 0;
  }
  wide_count_ = count;
  // Where a byte and a zero are a character, one byte tells nearly what two
  // do, three what four do, and the 5-byte chains hold nearly three
  // characters: the chains by one and by three also give the matches of
  // two and of four bytes.
  const Chains::Adder add1 = chains1_.adder();
  const Chains::Adder add3 = chains3_.adder();
  const Chains::Adder add5 = chains5_.adder();
  // From the last position down, so that each chain comes out ascending.
  uint32_t i = count;
  for (; i > 0 && wide_positions_[i - 1] + 8 > n; --i) {
    const uint32_t p = wide_positions_[i - 1];
    add1(p, data[p]);
    if (p + 3 <= n) add3(p, hash3(load_up_to_four(data + p, n - p)));
    if (p + 5 <= n) add5(p, hash5(load_up_to_eight(data + p, n - p)));
  }
  for (; i > 0; --i) {
    const uint32_t p = wide_positions_[i - 1];
    add1(p, data[p]);
    add3(p, hash3(load32(data + p)));
    add5(p, hash5(load64(data + p)));
  }
  wide_ = true;
}

void MatchFinder::link_eight() {
  const uint8_t* data = block_.data();
  const auto n = static_cast<uint32_t>(block_.size());
  const Chains::Adder add8 = chains8_.adder();
  if (wide_) {
    for (size_t i = wide_count_; i-- > 0;) {
      const uint32_t p = wide_positions_[i];
      if (p + 8 <= n) add8(p, hash8(load64(data + p)));
    }
  } else {
    for (uint32_t p = n >= 8 ? n - 7 : 0; p-- > 0;) add8(p, hash8(load64(data + p)));
  }
  linked8_ = true;
}

Match MatchFinder::search_from(size_t low, size_t end, size_t pos, size_t max_length) const {
  const uint8_t* data = block_.data();
  Match best;
  for (size_t c = low; c < end; ++c) {
    if (data[c] != data[pos]) continue;
    const size_t length = common_length(data + c, data + pos, max_length);
    if (length > best.length) {
      best = {length, pos - c};
      if (length == max_length) break;
    }
  }
  if (best.length < 2) return {};
  return best;
}

template <size_t shorter, bool after_zero>
Match MatchFinder::longest_from(const uint32_t* next, size_t pos, size_t max_length, uint32_t c,
                                size_t low) {
  const uint8_t* data = block_.data();
  const uint8_t* here = data + pos;
  // Candidates come in ascending position, farthest first, so only a strictly
  // longer one replaces the best, and the first to reach max_length ends it.
  size_t best = shorter;  // shorter matches are found from the other chains
  size_t best_pos = 0;
  size_t steps = 0;
  for (; c < pos; c = next[c]) {
    ++steps;
    // A longer match must also agree at index `best` (< max_length, so in the block).
    if (data[c + best] != here[best]) continue;
    if constexpr (after_zero) {
      if (c <= low || data[c - 1] != 0) continue;
    }
    const size_t length = common_length(data + c, here, max_length);
    if (length <= best) continue;
    best = length;
    best_pos = c;
    if (length == max_length) break;
    // Only positions that share the first eight bytes can beat eight: a long
    // walk goes on along this candidate's 8-byte chain, which holds them all.
    // Once a walk of this block has linked it, every walk may take it.
    if (length >= 8 && (linked8_ || steps >= kPromoteAfter) && next != chains8_.next()) {
      if (!linked8_) link_eight();
      next = chains8_.next();
    }
  }
  if (best == shorter) return {};
  return {best, pos - best_pos};
}

template <bool after_zero>
Match MatchFinder::search_wide_from(size_t pos, size_t max_length, size_t low) {
  const uint8_t* data = block_.data();
  const uint8_t* here = data + pos;
  const auto counts = [data, low](uint32_t c) {
    if constexpr (after_zero) return c > low && data[c - 1] == 0;
    return true;
  };
  // The longest match of five bytes or more, if there is one.
  if (max_length >= 5) {
    const uint32_t first5 = chains5_.first_from(hash5(load_up_to_eight(here, max_length)), low);
    if (first5 < pos) {
      const Match match =
          longest_from<4, after_zero>(chains5_.next(), pos, max_length, first5, low);
      if (match.length != 0) return match;
    }
  }
  // Else the farthest of four, or else that of three, from the 3-byte chain.
  constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();
  if (max_length >= 3) {
    const size_t longest = std::min<size_t>(max_length, 4);
    uint32_t first_three = kNone;
    const uint32_t* next = chains3_.next();
    for (uint32_t c = chains3_.first_from(hash3(load_up_to_four(here, max_length)), low); c < pos;
         c = next[c]) {
      if (data[c] != here[0] || data[c + 1] != here[1] || data[c + 2] != here[2] || !counts(c)) {
        continue;
      }
      if (longest == 3 || data[c + 3] == here[3]) return {longest, pos - c};
      if (first_three == kNone) first_three = c;
    }
    if (first_three != kNone) return {3, pos - first_three};
  }
  // Else that of two, or else that of one, from the 1-byte chain; a match of
  // one byte counts only after a zero, which makes it two.
  uint32_t first_one = kNone;
  const uint32_t* next = chains1_.next();
  for (uint32_t c = chains1_.first_from(here[0], low); c < pos; c = next[c]) {
    if (!counts(c)) continue;
    if (max_length >= 2 && data[c + 1] == here[1]) return {2, pos - c};
    if constexpr (!after_zero) continue;
    if (first_one == kNone) first_one = c;
    if (max_length == 1) break;
  }
  if (first_one != kNone) return {1, pos - first_one};
  return {};
}

Match MatchFinder::search_wide_text(size_t pos, size_t max_length, size_t low) {
  // A zero before a character is searched through the character: its
  // candidates are zeros before the same bytes, and match one byte more.
  const uint8_t* data = block_.data();
  if (data[pos] != 0 || data[pos + 1] == 0) return search_wide_from<false>(pos, max_length, low);
  const Match match = search_wide_from<true>(pos + 1, max_length - 1, low);
  if (match.length == 0) return {};
  return {match.length + 1, match.distance};
}

Match MatchFinder::find_before_linking(size_t pos, size_t max_length) {
  const size_t low = pos > compressed::kWindowSize ? pos - compressed::kWindowSize : 0;
  Match match;
  if (pos <= kSmallWindow) {
    // Near the start of a block the window is small enough to try whole.
    match = search_from(low, pos, pos, max_length);
  } else if (full_before_) {
    // Repetitive data: a full-length match, which no other can beat, usually
    // starts at or just after where the last one did. Searching the window
    // from its far end up to there costs what the plain search would, and
    // spares linking the chains for a run of one byte or a short pattern.
    const size_t end = std::min(pos, std::max(low, last_full_) + kProbeSpan);
    match = search_from(low, end, pos, max_length);
    if (match.length != max_length) match = {};
  }
  if (match.length == 0 && pos > kSmallWindow) {
    link_block();
    return find(pos);
  }
  full_before_ = match.length == max_length;
  if (full_before_) last_full_ = pos - match.distance;
  return match;
}

Match MatchFinder::find(size_t pos) {
  const size_t n = block_.size();
  if (pos == 0 || pos + 2 > n) return {};  // nothing before it, or no two bytes to repeat
  const size_t max_length = std::min(compressed::kMaxMatchLength, n - pos);
  if (!linked_) return find_before_linking(pos, max_length);
  const uint8_t* data = block_.data();
  const uint8_t* here = data + pos;
  const size_t low = pos > compressed::kWindowSize ? pos - compressed::kWindowSize : 0;
  if (wide_) return search_wide_text(pos, max_length, low);
  const uint32_t four = load_up_to_four(here, max_length);
  // The first candidate of each chain is read before any is used, so that
  // the three table reads overlap; a key of bytes beyond the block is
  // looked up harmlessly and not used.
  const uint32_t first4 = chains4_.first_from(hash4(four), low);
  const uint32_t first3 = chains3_.first_from(hash3(four), low);
  const uint32_t first2 = chains2_.first_from(key2(four), low);

  if (max_length >= 4 && first4 < pos) {
    // The longest match of four bytes or more, if there is one.
    const Match match = longest_from<3>(chains4_.next(), pos, max_length, first4);
    if (match.length != 0) return match;
  }
  // Else the farthest of three is the longest.
  if (max_length >= 3) {
    const uint32_t* next = chains3_.next();
    for (uint32_t c = first3; c < pos; c = next[c]) {
      // Passes over only other bytes with the same hash.
      if (data[c] == here[0] && data[c + 1] == here[1] && data[c + 2] == here[2]) {
        return {3, pos - c};
      }
    }
  }
  // Else that of two: the key is the two bytes themselves, so the chain's
  // first position is the answer.
  if (first2 < pos) return {2, pos - first2};
  return {};
}

}  // namespace lexbuild
