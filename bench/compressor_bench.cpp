// Compression speed of 8,191-byte chunks, the largest the chunking stage
// hands over, for the program's search and for the exhaustive reference
// search that it must match byte for byte. Run from a Release or
// RelWithDebInfo build:
//   build/bench/compressor_bench
// MB/s is the bytes_per_second column; "ratio" is compressed / raw size.
#include <benchmark/benchmark.h>

#include <functional>
#include <string>
#include <vector>

#include "compiler/compressor.h"
#include "support/reference_compressor.h"
#include "support/sample_chunks.h"

namespace lexbuild {
namespace {

constexpr size_t kChunk = 8191;
constexpr int kChunksPerKind = 8;

using Maker = std::function<std::vector<uint8_t>(uint32_t seed)>;

std::vector<std::vector<uint8_t>> make_chunks(const Maker& make) {
  std::vector<std::vector<uint8_t>> chunks;
  for (int i = 0; i < kChunksPerKind; ++i) chunks.push_back(make(static_cast<uint32_t>(i + 1)));
  return chunks;
}

// One iteration compresses every chunk of the kind once.
template <typename Compress>
void run(benchmark::State& state, const Maker& make, Compress compress) {
  const std::vector<std::vector<uint8_t>> chunks = make_chunks(make);
  size_t raw = 0;
  size_t packed = 0;
  for (const std::vector<uint8_t>& chunk : chunks) {
    raw += chunk.size();
    packed += compress(chunk).size();
  }
  for (auto _ : state) {
    for (const std::vector<uint8_t>& chunk : chunks) {
      std::vector<uint8_t> out = compress(chunk);
      benchmark::DoNotOptimize(out.data());
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(raw) * state.iterations());
  state.counters["ratio"] = static_cast<double>(packed) / static_cast<double>(raw);
}

void fast(benchmark::State& state, const Maker& make) {
  run(state, make, [](const std::vector<uint8_t>& in) { return compress_bytes(in); });
}

void reference(benchmark::State& state, const Maker& make) {
  run(state, make, [](const std::vector<uint8_t>& in) { return testing::reference_compress(in); });
}

const Maker kWords = [](uint32_t seed) { return testing::word_chunk(seed, kChunk); };
const Maker kTranslations = [](uint32_t seed) { return testing::translation_chunk(seed, kChunk); };
const Maker kDictionaryWords = [](uint32_t seed) {
  return testing::dictionary_word_chunk(seed, kChunk);
};
// A UTF-16 dictionary's translations: every character of Latin text is a
// byte and a zero, so four bytes tell apart only two characters.
const Maker kUtf16Translations = [](uint32_t seed) {
  std::vector<uint8_t> wide;
  for (const uint8_t byte : testing::translation_chunk(seed, kChunk / 2)) {
    wide.push_back(byte);
    wide.push_back(0);
  }
  return wide;
};
const Maker kArticles = [](uint32_t seed) { return testing::article_chunk(seed, kChunk); };
const Maker kRandom = [](uint32_t seed) { return testing::random_bytes(seed, kChunk); };
const Maker kOneByte = [](uint32_t seed) {
  return testing::periodic_bytes(std::string(1, static_cast<char>(seed)), kChunk);
};
const Maker kPeriodic = [](uint32_t seed) {
  static const char* const kPatterns[] = {
      "ab", "abc", "abcd", "a b ", "xyzzy", "0123456", "ab cd ef gh ij ", "q"};
  return testing::periodic_bytes(kPatterns[(seed - 1) % 8], kChunk);
};

BENCHMARK_CAPTURE(fast, word_chunks, kWords);
BENCHMARK_CAPTURE(reference, word_chunks, kWords);
BENCHMARK_CAPTURE(fast, translation_chunks, kTranslations);
BENCHMARK_CAPTURE(reference, translation_chunks, kTranslations);
BENCHMARK_CAPTURE(fast, utf16_translation_chunks, kUtf16Translations);
BENCHMARK_CAPTURE(reference, utf16_translation_chunks, kUtf16Translations);
BENCHMARK_CAPTURE(fast, dictionary_word_chunks, kDictionaryWords);
BENCHMARK_CAPTURE(reference, dictionary_word_chunks, kDictionaryWords);
BENCHMARK_CAPTURE(fast, article_chunks, kArticles);
BENCHMARK_CAPTURE(reference, article_chunks, kArticles);
BENCHMARK_CAPTURE(fast, random_bytes, kRandom);
BENCHMARK_CAPTURE(reference, random_bytes, kRandom);
BENCHMARK_CAPTURE(fast, one_repeated_byte, kOneByte);
BENCHMARK_CAPTURE(reference, one_repeated_byte, kOneByte);
BENCHMARK_CAPTURE(fast, periodic_patterns, kPeriodic);
BENCHMARK_CAPTURE(reference, periodic_patterns, kPeriodic);

}  // namespace
}  // namespace lexbuild

BENCHMARK_MAIN();
