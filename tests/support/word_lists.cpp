#include "support/word_lists.h"

#include <algorithm>
#include <random>

namespace lexbuild::testing {
namespace {

class Picker {
 public:
  explicit Picker(uint32_t seed) : rng_(seed) {}
  // The raw engine output, so that the lists are the same with every library.
  uint32_t below(uint32_t n) { return static_cast<uint32_t>(rng_() % n); }
  bool one_in(uint32_t n) { return below(n) == 0; }

 private:
  std::mt19937 rng_;
};

std::string make_word(Picker& pick, const std::string& initials, bool plain) {
  static const char* const kSyllables[] = {"ka", "lo", "mi",  "ne", "tor", "as", "ven", "qui",
                                           "ra", "el", "pre", "st", "ba",  "ou", "ch",  "y"};
  std::string word(1, initials[pick.below(static_cast<uint32_t>(initials.size()))]);
  const uint32_t syllables = 1 + pick.below(4);
  for (uint32_t s = 0; s < syllables; ++s) word += kSyllables[pick.below(16)];
  if (plain) return word;
  if (pick.one_in(25)) word[0] = static_cast<char>(word[0] - 'a' + 'A');
  if (pick.one_in(30)) word += " " + make_word(pick, initials, false);
  return word;
}

std::string make_translation(Picker& pick, size_t longest, bool escapes) {
  static const char* const kWords[] = {"the", "a",    "of",    "animal", "small", "used",
                                       "to",  "kind", "plant", "river",  "with",  "which",
                                       "n.",  "v.",   "adj.",  "(old)",  "1)",    "2);"};
  // Mostly short glosses, now and then a long article.
  const size_t target = pick.one_in(15)
                            ? longest / 2 + pick.below(static_cast<uint32_t>(longest / 2))
                            : 1 + pick.below(120);
  std::string text;
  while (text.size() < target) {
    if (!text.empty()) text += escapes && pick.one_in(12) ? "\\n" : " ";
    text += kWords[pick.below(18)];
  }
  text.resize(std::min(text.size(), longest));
  while (!text.empty() && (text.back() == ' ' || text.back() == '\\')) text.pop_back();
  return text;
}

std::string spaces(Picker& pick, bool decorate) {
  return decorate && pick.one_in(8) ? std::string(1 + pick.below(3), ' ') : "";
}

std::string unescaped(std::string text) {
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] == '\\' && text[i + 1] == 'n') {
      text[i] = ' ';
      text[i + 1] = '\n';
    }
  }
  return text;
}

}  // namespace

WordList make_word_list(uint32_t seed, const WordListOptions& options) {
  Picker pick(seed);
  std::vector<std::pair<std::string, std::string>> entries;
  for (size_t i = 0; i < options.entries; ++i) {
    entries.emplace_back(make_word(pick, options.initials, options.plain_words),
                         make_translation(pick, options.longest_translation, options.decorate));
  }
  std::stable_sort(entries.begin(), entries.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  if (options.plain_words) {
    entries.erase(std::unique(entries.begin(), entries.end(),
                              [](const auto& a, const auto& b) { return a.first == b.first; }),
                  entries.end());
  }

  WordList list;
  std::vector<std::string> lines;
  const bool decorate = options.decorate;
  for (const auto& [word, translation] : entries) {
    if (decorate && pick.one_in(200)) lines.push_back("no tab on this line\r\n");
    if (decorate && pick.one_in(200)) lines.push_back("   \r\n");  // blank: skipped
    lines.push_back(spaces(pick, decorate && !options.plain_words) + word + spaces(pick, decorate) +
                    "\t" + spaces(pick, decorate) + translation + spaces(pick, decorate) + "\r\n");
    list.expected.push_back({word, unescaped(translation)});
  }
  for (const std::string& line : lines) list.text += line;
  for (size_t i = lines.size(); i > 1; --i) {
    std::swap(lines[i - 1], lines[pick.below(static_cast<uint32_t>(i))]);
  }
  for (const std::string& line : lines) list.shuffled += line;
  return list;
}

std::vector<DecodedEntry> widened(const std::vector<DecodedEntry>& entries) {
  const auto widen = [](const std::string& text) {
    std::string wide;
    for (const char c : text) {
      wide += c;
      wide += '\0';
    }
    return wide;
  };
  std::vector<DecodedEntry> out;
  for (const DecodedEntry& e : entries) out.push_back({widen(e.word) + '\0', widen(e.translation)});
  return out;
}

}  // namespace lexbuild::testing
