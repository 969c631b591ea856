// A deterministic, dictionary-like word list for whole-build benchmarks.
// Each line is a word, a TAB and a definition made of generated words, ending
// in CR LF. Some definitions hold the break escape (backslash, n). Only ASCII
// is written, so that other tools can read the same list. The lines are in
// no particular order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wordlist {

// SplitMix64: the same numbers on every platform and library.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  uint32_t below(uint32_t n) { return static_cast<uint32_t>(next() % n); }

 private:
  uint64_t state_;
};

const char* const kOnsets[] = {"b",   "c",  "d",  "f",  "g",  "h",  "j",  "k",  "l",  "m",
                               "n",   "p",  "r",  "s",  "t",  "v",  "w",  "z",  "br", "ch",
                               "cl",  "cr", "dr", "fl", "gr", "pl", "pr", "sh", "sl", "st",
                               "str", "th", "tr", "qu", "sp", "",   "",   "",   "wh", "sc"};
const char* const kVowels[] = {"a", "e",  "i",  "o",  "u",  "a",  "e", "i",
                               "o", "ea", "ou", "ai", "ie", "oo", "y", "au"};
const char* const kCodas[] = {"",   "",   "",   "n", "r",  "s",  "t",  "l",  "m",  "nd",
                              "st", "ng", "ck", "x", "rt", "ll", "ss", "th", "sh", "ve"};

template <typename T, size_t N>
const T& pick(Random& random, const T (&items)[N]) {
  return items[random.below(N)];
}

inline std::string make_word(Random& random, int syllables) {
  std::string word;
  for (int s = 0; s < syllables; ++s) {
    word += pick(random, kOnsets);
    word += pick(random, kVowels);
    if (s + 1 == syllables || random.below(3) == 0) word += pick(random, kCodas);
  }
  return word;
}

/// Calls emit(line) for each of `entries` lines made from `seed`, with
/// definitions of about `mean_definition` bytes.
template <typename Emit>
void generate(long entries, uint64_t seed, uint32_t mean_definition, Emit&& emit) {
  Random random(seed);
  // A vocabulary for definitions; low indexes are drawn far more often.
  std::vector<std::string> vocabulary;
  for (int i = 0; i < 6000; ++i) vocabulary.push_back(make_word(random, 1 + random.below(3)));
  const char* const kCommon[] = {"the",  "a",  "of", "to", "and", "in",   "that",  "is",  "for",
                                 "with", "as", "on", "by", "or",  "from", "which", "used"};

  std::string line;
  for (long e = 0; e < entries; ++e) {
    line = make_word(random, 1 + random.below(4));
    if (random.below(20) == 0) {
      line += ' ';
      line += make_word(random, 1 + random.below(2));
    }
    line += '\t';
    // Lengths spread from short glosses to long articles around the mean.
    uint32_t target = mean_definition / 4 + random.below(mean_definition * 3 / 2 + 1);
    if (random.below(50) == 0) target *= 4;
    const size_t start = line.size();
    while (line.size() - start < target) {
      if (random.below(3) == 0) {
        line += pick(random, kCommon);
      } else {
        const uint64_t r = random.below(1000);
        line += vocabulary[r * r * vocabulary.size() / 1000000];
      }
      const uint32_t p = random.below(40);
      if (p == 0) {
        line += ".\\n";
      } else if (p < 4) {
        line += ", ";
      } else if (p < 6) {
        line += ". ";
      } else {
        line += ' ';
      }
    }
    line += "\r\n";
    emit(line);
  }
}

}  // namespace wordlist
