// Arbitrary bytes as a compressed stream, decoded as the inspector decodes a
// chunk it reads from a database: nothing is read past the stream, no match
// reaches before the start, the output never grows past the limit, and a
// stream that decodes is consumed no further than its end marker. Decoding
// with a smaller limit must agree with the first decode up to that limit.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "compiler/compressor.h"
#include "compiler/decompressor.h"
#include "compiler/format.h"
#include "fuzz_support.h"

using namespace lexbuild;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> stream(data, size);
  const size_t limit = format::kChunkLimit - 1;
  const DecodeResult full = decompress_stream(stream, limit);
  FUZZ_CHECK(full.output.size() <= limit);
  FUZZ_CHECK(full.consumed <= size);
  FUZZ_CHECK(full.error_offset <= size);
  if (!full.ok()) FUZZ_CHECK(!full.message().empty());

  // A tighter limit stops earlier but never decodes anything else.
  const size_t tighter = full.output.size() / 2;
  const DecodeResult part = decompress_stream(stream, tighter);
  FUZZ_CHECK(part.output.size() <= tighter);
  FUZZ_CHECK(std::equal(part.output.begin(), part.output.end(), full.output.begin()));
  if (full.ok() && full.output.size() > tighter) {
    FUZZ_CHECK(part.status == DecodeStatus::kOutputLimit);
  }

  // What decoded compresses back into a stream that decodes to the same bytes.
  if (full.ok()) {
    const std::vector<uint8_t> again = compress_bytes(full.output);
    const DecodeResult round = decompress_stream(again, limit);
    FUZZ_CHECK(round.ok() && round.output == full.output && round.consumed == again.size());
  }
  return 0;
}
