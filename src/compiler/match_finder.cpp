#include "compiler/match_finder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>

#include "compiler/compressed_format.h"

namespace lexbuild {
namespace {

static_assert(compressed::kInputBlockSize < 0xFFFF, "positions and kNone fit in 16 bits");

/// Number of leading bytes at `a` and `b` that agree, at most `limit`. Both
/// runs lie inside the block for `limit` bytes; `a` may overlap `b`.
size_t common_length(const uint8_t* a, const uint8_t* b, size_t limit) {
  size_t k = 0;
  while (k + 8 <= limit) {
    uint64_t x;
    uint64_t y;
    std::memcpy(&x, a + k, 8);
    std::memcpy(&y, b + k, 8);
    if (const uint64_t diff = x ^ y; diff != 0) {
      const int bits = std::endian::native == std::endian::little ? std::countr_zero(diff)
                                                                  : std::countl_zero(diff);
      return k + static_cast<size_t>(bits) / 8;
    }
    k += 8;
  }
  while (k < limit && a[k] == b[k]) ++k;
  return k;
}

}  // namespace

// ---- Chains ----

MatchFinder::Chains::Chains(size_t keys)
    : head(keys, kNone), next(compressed::kInputBlockSize), keys(compressed::kInputBlockSize) {}

void MatchFinder::Chains::clear() {
  for (size_t p = 0; p < linked; ++p) head[keys[p]] = kNone;
  linked = 0;
}

// ---- MatchFinder ----

MatchFinder::MatchFinder() : chains3_(size_t{1} << kHashBits), chains2_(size_t{1} << 16) {}

void MatchFinder::index(std::span<const uint8_t> block) {
  // Longer blocks would overflow the 16-bit positions; the caller splits the input.
  if (block.size() > compressed::kInputBlockSize) {
    throw std::invalid_argument("a compressor block holds at most 17664 bytes");
  }
  block_ = block;
  chains3_.clear();
  chains2_.clear();
  linked_ = false;
  probe_next_ = true;
}

void MatchFinder::link_block() {
  // Linked only when a search first needs the chains: a block that the probe
  // covers (a run of one byte, a short pattern) is never linked.
  const uint8_t* data = block_.data();
  const size_t n = block_.size();
  chains3_.link(n >= 3 ? n - 2 : 0, [data](size_t p) { return hash3(data + p); });
  chains2_.link(n >= 2 ? n - 1 : 0, [data](size_t p) { return key2(data + p); });
  linked_ = true;
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

Match MatchFinder::find(size_t pos) {
  const size_t n = block_.size();
  if (pos == 0 || pos + 2 > n) return {};  // nothing before it, or no two bytes to repeat
  const uint8_t* data = block_.data();
  const uint8_t* here = data + pos;
  const size_t low = pos > compressed::kWindowSize ? pos - compressed::kWindowSize : 0;
  const size_t max_length = std::min(compressed::kMaxMatchLength, n - pos);

  // Near the start of a block the window is small enough to try whole.
  if (pos <= kSmallWindow && !linked_) {
    const Match match = search_from(low, pos, pos, max_length);
    probe_next_ = match.length == max_length;
    return match;
  }
  // Repetitive data: the farthest few positions often give a match of the
  // full length, which no other can beat, and the chains are not needed.
  // Tried after a full-length match only, so text rarely pays for it.
  if (probe_next_) {
    const Match match = search_from(low, std::min(pos, low + kProbeSpan), pos, max_length);
    if (match.length == max_length) return match;
  }
  if (!linked_) link_block();

  // Find the longest match of three bytes or more. Candidates come in
  // ascending position, farthest first, so only a strictly longer one
  // replaces the best, and the first to reach max_length ends the search.
  if (max_length >= 3) {
    size_t best = 2;
    size_t best_pos = 0;
    for (size_t c = chains3_.first_from(hash3(here), low); c < pos; c = chains3_.next[c]) {
      // A longer match must also agree at index `best` (< max_length, so in the block).
      if (data[c + best] != here[best]) continue;
      const size_t length = common_length(data + c, here, max_length);
      if (length > best) {
        best = length;
        best_pos = c;
        if (length == max_length) break;
      }
    }
    probe_next_ = best == max_length;
    if (best >= 3) return {best, pos - best_pos};
  }

  // No 3-byte match: the farthest 2-byte repeat in the window, if any.
  const size_t c = chains2_.first_from(key2(here), low);
  if (c < pos) return {2, pos - c};
  return {};
}

}  // namespace lexbuild
