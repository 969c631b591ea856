// Arbitrary bytes through the block compressor: the stream must decode back
// to the input, consume itself exactly, stay within its largest possible
// size, come out the same from a file as from memory, and on inputs of up to
// 2 KB equal byte for byte what the exhaustive search of the reference
// compressor produces, also when repeated at the far edge of the window.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "compiler/compressed_format.h"
#include "compiler/compressor.h"
#include "compiler/decompressor.h"
#include "fuzz_support.h"
#include "platform/file.h"
#include "support/reference_compressor.h"

using namespace lexbuild;

namespace {

// No item costs more than 2 flag bits and 1 data byte per input byte (a
// 2-byte short match: 4 bits and 1 byte; a literal: 1 bit and 1 byte); the
// end marker adds 2 bits and 3 bytes, and the last packet's flag word is
// always written.
size_t largest_stream(size_t input_size) {
  const size_t bits = 2 * input_size + 2;
  return input_size + 3 + 2 * (bits / 16 + 1);
}

// Only inputs this small are compared with the reference: its search tries
// every earlier position for every position coded.
constexpr size_t kReferenceLimit = 2048;
// Up to this size an input is also compared placed twice, a window apart.
constexpr size_t kEdgeLimit = 256;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> input(data, size);
  const std::vector<uint8_t> stream = compress_bytes(input);
  FUZZ_CHECK(stream.size() <= largest_stream(size));

  const DecodeResult decoded = decompress_stream(stream, size);
  FUZZ_CHECK(decoded.ok());
  FUZZ_CHECK(decoded.consumed == stream.size());
  FUZZ_CHECK(decoded.output.size() == size &&
             std::equal(decoded.output.begin(), decoded.output.end(), input.begin()));

  // From file to file, in blocks read from the file.
  const std::string source = fuzz::scratch_path("chunk.bin");
  const std::string destination = fuzz::scratch_path("chunk.lz");
  FUZZ_CHECK(platform::write_file(source, input));
  const CompressResult result = compress_file(source, destination);
  FUZZ_CHECK(result.ok() && result.bytes_written == stream.size());
  std::vector<uint8_t> from_file;
  FUZZ_CHECK(platform::read_file(destination, from_file) && from_file == stream);

  if (size <= kReferenceLimit) FUZZ_CHECK(stream == testing::reference_compress(input));

  // A small input twice, its copies about a window apart with a run of one
  // byte between, so that matches fall on both sides of the window's edge.
  if (size >= 1 && size <= kEdgeLimit) {
    const size_t gap = compressed::kWindowSize - 8 + data[0] % 16;
    std::vector<uint8_t> twice(input.begin(), input.end());
    twice.resize(gap, data[size - 1]);
    twice.insert(twice.end(), input.begin(), input.end());
    FUZZ_CHECK(compress_bytes(twice) == testing::reference_compress(twice));
  }
  return 0;
}
