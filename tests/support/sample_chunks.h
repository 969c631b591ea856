// Reproducible inputs for the compressor's tests and benchmarks: chunks of
// dictionary text as the compiler stores them, random bytes, runs of one
// byte and short periodic patterns. Everything comes from a seed, with the
// generator's raw output only, so the bytes are the same on every platform.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace lexbuild::testing {

/// Made-up words and glosses built from syllables.
class SampleText {
 public:
  explicit SampleText(uint32_t seed) : rng_(seed) {
    for (int i = 0; i < 600; ++i) vocabulary_.push_back(make_word());
  }

  uint32_t next(uint32_t bound) { return static_cast<uint32_t>(rng_() % bound); }

  /// A fresh headword of two to four syllables.
  std::string make_word() {
    static constexpr std::string_view kSyllables[] = {
        "ka", "lo",  "mi",  "ne", "tor", "as", "ven", "qui", "ra",  "sel", "un",  "bra", "de",
        "fi", "gon", "he",  "is", "jan", "el", "pre", "ost", "mar", "ti",  "cul", "er",  "ing",
        "ab", "sto", "wen", "or", "lin", "ys", "cha", "dom", "ve",  "ru",  "pol", "ex"};
    std::string word;
    const uint32_t count = 2 + next(3);
    for (uint32_t i = 0; i < count; ++i) word += kSyllables[next(std::size(kSyllables))];
    return word;
  }

  /// A word of the gloss vocabulary, common ones far more often.
  const std::string& common_word() {
    const auto size = static_cast<uint32_t>(vocabulary_.size());
    return vocabulary_[next(next(size) + 1)];
  }

  /// A pronunciation in brackets, as 8-bit dictionaries write it: the
  /// word's syllables respelled, a stress mark before one of them.
  std::string pronunciation(const std::string& word) {
    std::string text = "[";
    const size_t stress = next(static_cast<uint32_t>(word.size() / 2 + 1));
    for (size_t i = 0; i < word.size(); ++i) {
      if (i == stress) text += '\'';
      const char c = word[i];
      text += c == 'c' ? 'k' : c == 'q' ? 'k' : c == 'y' ? 'i' : c;
    }
    return text + "]";
  }

  /// A dictionary article for `word`: its pronunciation, a grammar tag with
  /// its forms, numbered senses with usage labels, examples that repeat the
  /// headword, and now and then a cross-reference or a phrase.
  std::string article(const std::string& word) {
    static constexpr std::string_view kTags[] = {"n.", "v.", "vt.", "vi.", "adj.", "adv."};
    static constexpr std::string_view kForms[] = {"pl. ", "past ", "comp. ", "pl. "};
    static constexpr std::string_view kLabels[] = {"(colloq.) ", "(fig.) ", "(tech.) ",
                                                   "(obs.) ",    "(law) ",  "(bot.) "};
    std::string text = pronunciation(word) + " ";
    const uint32_t tags = 1 + next(4) / 3;
    for (uint32_t t = 0; t < tags; ++t) {
      text += kTags[next(std::size(kTags))];
      if (next(2) == 0) text += std::string(" (") + std::string(kForms[next(4)]) + word + "s)";
      const uint32_t senses = 1 + next(5);
      for (uint32_t s = 1; s <= senses; ++s) {
        text += " ";
        if (senses > 1) text += std::to_string(s) + ". ";
        if (next(4) == 0) text += kLabels[next(std::size(kLabels))];
        const uint32_t words = 1 + next(7);
        for (uint32_t w = 0; w < words; ++w) {
          if (w > 0) text += next(4) == 0 ? ", " : " ";
          text += common_word();
        }
        if (next(3) == 0) text += ": ~ " + common_word() + " " + common_word();
        text += s < senses ? ";" : ".";
      }
      if (t + 1 < tags) text += "\n";
    }
    if (next(6) == 0) text += " See " + common_word() + ".";
    if (next(5) == 0) text += "\n~ " + word + " " + common_word() + " " + common_word() + ".";
    return text;
  }

  /// A definition: a part of speech, numbered senses, a line break now and then.
  std::string definition() {
    static constexpr std::string_view kParts[] = {"n. ", "v. ", "adj. ", "adv. ", "prep. "};
    std::string text(kParts[next(std::size(kParts))]);
    const uint32_t senses = 1 + next(3);
    for (uint32_t s = 1; s <= senses; ++s) {
      if (senses > 1) text += std::to_string(s) + ") ";
      const uint32_t words = 1 + next(6);
      for (uint32_t w = 0; w < words; ++w) {
        if (w > 0) text += next(4) == 0 ? ", " : " ";
        text += common_word();
      }
      text += s < senses ? "; " : "";
      if (next(8) == 0) text += " \n~ " + common_word() + " " + common_word();
    }
    return text;
  }

 private:
  std::mt19937 rng_;
  std::vector<std::string> vocabulary_;
};

/// Word records (a length byte counting itself, then the word) of sorted
/// headwords, as many whole records as fit in `size` bytes.
inline std::vector<uint8_t> word_chunk(uint32_t seed, size_t size) {
  SampleText text(seed);
  std::vector<std::string> words;
  for (size_t total = 0; total < size; total += words.back().size() + 1) {
    words.push_back(text.make_word());
  }
  std::sort(words.begin(), words.end());
  std::vector<uint8_t> chunk;
  for (const std::string& word : words) {
    if (chunk.size() + word.size() + 1 > size) break;
    chunk.push_back(static_cast<uint8_t>(word.size() + 1));
    chunk.insert(chunk.end(), word.begin(), word.end());
  }
  return chunk;
}

/// Short translation records (a length byte counting itself, then the
/// text), as many whole records as fit in `size` bytes.
inline std::vector<uint8_t> translation_chunk(uint32_t seed, size_t size) {
  SampleText text(seed);
  std::vector<uint8_t> chunk;
  for (;;) {
    std::string definition = text.definition();
    definition.resize(std::min<size_t>(definition.size(), 254));
    if (chunk.size() + definition.size() + 1 > size) return chunk;
    chunk.push_back(static_cast<uint8_t>(definition.size() + 1));
    chunk.insert(chunk.end(), definition.begin(), definition.end());
  }
}

/// Headwords as a dictionary lists them: sorted, each base word followed
/// by its derived forms and phrases, which share its first letters.
inline std::vector<uint8_t> dictionary_word_chunk(uint32_t seed, size_t size) {
  static constexpr std::string_view kEndings[] = {"s", "er", "ing", "ed", "ness", "ly", "able"};
  SampleText text(seed);
  std::vector<std::string> words;
  size_t total = 0;
  const auto add = [&](std::string word) {
    total += word.size() + 1;
    words.push_back(std::move(word));
  };
  while (total < size) {
    const std::string base = text.make_word();
    add(base);
    for (uint32_t d = text.next(4); d > 0; --d) {
      add(d % 3 == 0 ? base + " " + text.common_word()
                     : base + std::string(kEndings[text.next(std::size(kEndings))]));
    }
  }
  std::sort(words.begin(), words.end());
  std::vector<uint8_t> chunk;
  for (const std::string& word : words) {
    if (chunk.size() + word.size() + 1 > size) break;
    chunk.push_back(static_cast<uint8_t>(word.size() + 1));
    chunk.insert(chunk.end(), word.begin(), word.end());
  }
  return chunk;
}

/// Translation records of dictionary articles, short and long forms, as
/// many whole records as fit in `size` bytes.
inline std::vector<uint8_t> article_chunk(uint32_t seed, size_t size) {
  SampleText text(seed);
  std::vector<uint8_t> chunk;
  for (;;) {
    const std::string article = text.article(text.make_word());
    const bool long_form = article.size() > 254;
    const size_t record = article.size() + (long_form ? 3 : 1);
    if (chunk.size() + record > size) return chunk;
    if (long_form) {
      chunk.push_back(0);
      chunk.push_back(static_cast<uint8_t>(record >> 8));
      chunk.push_back(static_cast<uint8_t>(record));
    } else {
      chunk.push_back(static_cast<uint8_t>(record));
    }
    chunk.insert(chunk.end(), article.begin(), article.end());
  }
}

inline std::vector<uint8_t> random_bytes(uint32_t seed, size_t size) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> bytes(size);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng() >> 24);
  return bytes;
}

/// `pattern` repeated to `size` bytes (a pattern of one byte is a run).
inline std::vector<uint8_t> periodic_bytes(std::string_view pattern, size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(pattern[i % pattern.size()]);
  return bytes;
}

}  // namespace lexbuild::testing
