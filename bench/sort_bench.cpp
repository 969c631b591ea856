// The locale sort of a large 8-bit list against std::sort of the same keys
// compared as plain bytes, and the memory the sort holds.
//
//   build/bench/sort_bench --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string_view>
#include <vector>

#include "intake/list_lines.h"
#include "intake/locale_sort.h"
#include "intake/source_locale.h"

namespace lexbuild {
namespace {

constexpr size_t kLines = 1'000'000;

// A seeded word list in code page 1252: words built from syllables (so that
// many share a prefix, as in a real dictionary), some capitalised, some with
// accented letters, hyphens or apostrophes; definitions of 20 to 60 bytes.
const std::vector<uint8_t>& word_list() {
  static const std::vector<uint8_t> list = [] {
    static const char* const kSyllables[] = {"ab",
                                             "ac",
                                             "al",
                                             "an",
                                             "ar",
                                             "ba",
                                             "be",
                                             "bo",
                                             "ca",
                                             "ce",
                                             "co",
                                             "da",
                                             "de",
                                             "di",
                                             "el",
                                             "en",
                                             "er",
                                             "es",
                                             "fa",
                                             "fo",
                                             "ga",
                                             "ge",
                                             "ha",
                                             "he",
                                             "in",
                                             "is",
                                             "ka",
                                             "la",
                                             "le",
                                             "li",
                                             "lo",
                                             "ma",
                                             "me",
                                             "mi",
                                             "mo",
                                             "na",
                                             "ne",
                                             "no",
                                             "or",
                                             "pa",
                                             "pe",
                                             "pi",
                                             "po",
                                             "ra",
                                             "re",
                                             "ri",
                                             "ro",
                                             "sa",
                                             "se",
                                             "si",
                                             "so",
                                             "ta",
                                             "te",
                                             "ti",
                                             "to",
                                             "un",
                                             "va",
                                             "ve",
                                             "\xE9t",
                                             "\xE0l",
                                             "\xFCr",
                                             "\xF6n",
                                             "\xE7"
                                             "a",
                                             "\xF1o",
                                             "'s",
                                             "-o"};
    std::mt19937 random(20240611);
    std::uniform_int_distribution<size_t> syllable(0, std::size(kSyllables) - 1);
    std::uniform_int_distribution<int> syllables(1, 6);
    std::uniform_int_distribution<int> definition(20, 60);
    std::uniform_int_distribution<int> letter('a', 'z');
    std::uniform_int_distribution<int> percent(0, 99);
    std::vector<uint8_t> bytes;
    bytes.reserve(kLines * 56);
    for (size_t i = 0; i < kLines; ++i) {
      std::string word;
      for (int s = syllables(random); s > 0; --s) word += kSyllables[syllable(random)];
      if (percent(random) < 10) word[0] = static_cast<char>(std::toupper(word[0]));
      bytes.insert(bytes.end(), word.begin(), word.end());
      bytes.push_back('\t');
      for (int d = definition(random); d > 0; --d) {
        bytes.push_back(static_cast<uint8_t>(percent(random) < 15 ? ' ' : letter(random)));
      }
      bytes.push_back('\r');
      bytes.push_back('\n');
    }
    return bytes;
  }();
  return list;
}

void report_memory(benchmark::State& state, size_t held) {
  const double list = static_cast<double>(word_list().size());
  state.counters["list_MB"] = list / 1e6;
  state.counters["held_MB"] = (list + static_cast<double>(held)) / 1e6;
  state.counters["held_x_list"] = (list + static_cast<double>(held)) / list;
}

// The locale sort: lines cut out of the list, keys compared byte by byte by
// their English ranks.
void BM_LocaleSortEnglish(benchmark::State& state) {
  const std::vector<uint8_t>& list = word_list();
  const SourceLocale english = SourceLocale::select("English");
  size_t held = 0;
  for (auto _ : state) {
    bool too_long = false;
    std::vector<ListLine> lines = sorted_lines(list, ListEncoding::k8Bit, english, &too_long);
    held = lines.capacity() * sizeof(ListLine);
    benchmark::DoNotOptimize(lines.data());
  }
  report_memory(state, held);
}
BENCHMARK(BM_LocaleSortEnglish)->Unit(benchmark::kMillisecond);

// The same lines cut out the same way, sorted by std::sort with the keys
// compared as plain bytes.
void BM_PlainByteSort(benchmark::State& state) {
  const std::vector<uint8_t>& list = word_list();
  size_t held = 0;
  for (auto _ : state) {
    bool too_long = false;
    ListLines lines = split_list(list, ListEncoding::k8Bit, &too_long);
    std::sort(
        lines.entries.begin(), lines.entries.end(), [&](const ListLine& x, const ListLine& y) {
          return std::string_view(reinterpret_cast<const char*>(&list[x.offset]), x.key_length) <
                 std::string_view(reinterpret_cast<const char*>(&list[y.offset]), y.key_length);
        });
    held = lines.entries.capacity() * sizeof(ListLine);
    benchmark::DoNotOptimize(lines.entries.data());
  }
  report_memory(state, held);
}
BENCHMARK(BM_PlainByteSort)->Unit(benchmark::kMillisecond);

// The "C" rules for comparison: the same rank loop with a folding table.
void BM_LocaleSortC(benchmark::State& state) {
  const std::vector<uint8_t>& list = word_list();
  const SourceLocale c;
  for (auto _ : state) {
    bool too_long = false;
    std::vector<ListLine> lines = sorted_lines(list, ListEncoding::k8Bit, c, &too_long);
    benchmark::DoNotOptimize(lines.data());
  }
}
BENCHMARK(BM_LocaleSortC)->Unit(benchmark::kMillisecond);

// A 16-bit list of the same words: whole keys through ICU sort keys.
void BM_LocaleSort16BitEnglish(benchmark::State& state) {
  static const std::vector<uint8_t> list = [] {
    std::vector<uint8_t> bytes;
    const std::vector<uint8_t>& source = word_list();
    for (size_t i = 0; i < source.size(); ++i) {
      if (source[i] == '\r') continue;  // the line end is the unit 0x0A0D
      if (source[i] == '\n') {
        bytes.insert(bytes.end(), {0x0D, 0x0A});
      } else {
        bytes.insert(bytes.end(), {source[i], 0});
      }
    }
    return bytes;
  }();
  const SourceLocale english = SourceLocale::select("English");
  for (auto _ : state) {
    bool too_long = false;
    std::vector<ListLine> lines = sorted_lines(list, ListEncoding::k16Bit, english, &too_long);
    benchmark::DoNotOptimize(lines.data());
  }
}
BENCHMARK(BM_LocaleSort16BitEnglish)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lexbuild

BENCHMARK_MAIN();
