#include "intake/text_blocks.h"

#include <algorithm>

#include "intake/byte_search.h"

namespace lexbuild {
namespace {

constexpr uint8_t kCr = '\r';
constexpr uint8_t kLf = '\n';
constexpr uint8_t kEndOfText = 0x1A;

}  // namespace

bool TextBlocks::next(std::vector<uint8_t>& text) {
  text.clear();
  const size_t n = ended_ ? 0 : file_.read(raw_.data(), raw_.size());
  if (n == 0) {
    // A read error ends the input like the end of the file; the caller checks.
    ended_ = true;
    if (!cr_held_) return false;
    cr_held_ = false;
    text.push_back(kCr);
    return true;
  }
  const uint8_t* p = raw_.data();
  const uint8_t* end = find_byte(p, p + n, kEndOfText);
  if (end != p + n) ended_ = true;

  if (cr_held_ && p < end) {
    cr_held_ = false;
    if (*p == kLf) {
      text.push_back(kLf);
      ++p;
    } else {
      text.push_back(kCr);
    }
  }
  while (p < end) {
    const uint8_t* cr = find_byte(p, end, kCr);
    text.insert(text.end(), p, cr);
    if (cr == end) break;
    if (cr + 1 == end) {
      // Whether an LF follows is only known from the next block (or the end).
      cr_held_ = true;
      break;
    }
    const bool pair = cr[1] == kLf;
    text.push_back(pair ? kLf : kCr);
    p = cr + (pair ? 2 : 1);
  }
  return true;
}

}  // namespace lexbuild
