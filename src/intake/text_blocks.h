// Reading a file as text a block at a time: what platform::TextInput gives
// one character at a time (a CR LF pair read as one LF, a lone CR kept, the
// byte 0x1A ending the input), for stages that handle runs of characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/file.h"

namespace lexbuild {

class TextBlocks {
 public:
  explicit TextBlocks(platform::InputFile& file, size_t block_size = size_t{1} << 16)
      : file_(file), raw_(block_size == 0 ? 1 : block_size) {}

  /// Replaces `text` with the next characters; false at the end of the
  /// input. A block may be empty while the input goes on.
  bool next(std::vector<uint8_t>& text);

 private:
  platform::InputFile& file_;
  std::vector<uint8_t> raw_;
  bool ended_ = false;
  bool cr_held_ = false;  // a CR that ended the last block: LF or not decides
};

}  // namespace lexbuild
