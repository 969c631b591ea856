// Writes a deterministic, dictionary-like word list for whole-build benchmarks:
//   make_wordlist ENTRIES [SEED] [MEAN_DEFINITION_BYTES] > list.tab
// The lines are described in word_list_generator.h.
#include <cstdio>
#include <cstdlib>

#include "word_list_generator.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: make_wordlist ENTRIES [SEED] [MEAN_DEFINITION_BYTES]\n");
    return 2;
  }
  const long entries = std::atol(argv[1]);
  const uint64_t seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
  const uint32_t mean_definition = argc > 3 ? static_cast<uint32_t>(std::atol(argv[3])) : 300;
  wordlist::generate(entries, seed, mean_definition, [](const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
  });
  return 0;
}
