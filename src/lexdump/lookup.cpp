#include "lexdump/lookup.h"

#include <algorithm>
#include <optional>

#include "compiler/format.h"

namespace lexbuild::dump {
namespace {

namespace fmt = lexbuild::format;

void descend(const TableIndex& index, int parent, size_t position, std::span<const uint8_t> text,
             const LowerCase& lower, bool first_only, std::vector<int>& out) {
  // A word without a byte here joined whichever child was open when the
  // table was built: all of the parent's entries are candidates.
  if (position > 0 && position >= text.size()) {
    out.push_back(parent);
    return;
  }
  const uint8_t key = position < text.size() ? lower[text[position]] : 0;
  for (const auto& [node_key, node] : index.matching(parent, key)) {
    const TableNode& n = index.table().nodes[node];
    if (n.children.empty() || position + 1 >= fmt::kTableLevels) {
      out.push_back(node);
    } else {
      descend(index, node, position + 1, text, lower, first_only, out);
    }
    if (first_only) break;
  }
}

// The texts of entries [first, first + count) of a kind, walking the chunks
// from the one at (record, slot).
std::optional<std::vector<std::vector<uint8_t>>> entry_texts(const Dictionary& d,
                                                             const std::vector<ChunkRef>& chunks,
                                                             Kind kind, size_t record, size_t slot,
                                                             uint32_t first, uint32_t count,
                                                             std::string& error) {
  std::vector<std::vector<uint8_t>> texts;
  size_t at = 0;
  while (at < chunks.size() && (chunks[at].record != record || chunks[at].slot != slot)) ++at;
  if (at == chunks.size()) {
    error = "the word table points at a chunk that does not exist";
    return std::nullopt;
  }
  const uint64_t end = uint64_t{first} + count;
  for (; at < chunks.size() && texts.size() < count; ++at) {
    const ChunkDescriptor& c = chunks[at].descriptor;
    if (uint64_t{c.first_entry} + c.entry_count <= first) continue;
    if (c.first_entry >= end) break;
    const DecodedChunk decoded = Dictionary::decode(chunks[at]);
    if (!decoded.ok) {
      error = decoded.error;
      return std::nullopt;
    }
    auto split = d.split_records(kind, decoded.raw);
    if (!split) {
      error = "a chunk does not divide into whole entries";
      return std::nullopt;
    }
    for (size_t k = 0; k < split->size(); ++k) {
      const uint64_t entry = uint64_t{c.first_entry} + k;
      if (entry >= first && entry < end) texts.push_back(std::move((*split)[k]));
    }
  }
  return texts;
}

bool equal_ignoring_case(std::span<const uint8_t> a, std::span<const uint8_t> b,
                         const LowerCase& lower) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [&lower](uint8_t x, uint8_t y) { return lower[x] == lower[y]; });
}

// The number n of a piece "word [n]" (1 to 9) or "word[nn]" (10 to 99) of
// `word`; 0 when `candidate` is no piece of it.
int piece_number(std::span<const uint8_t> candidate, std::span<const uint8_t> word, bool unicode,
                 const LowerCase& lower, bool ignore_case) {
  const size_t unit = unicode ? 2 : 1;
  if (candidate.size() != word.size() + 4 * unit) return 0;
  const auto prefix = candidate.first(word.size());
  if (ignore_case ? !equal_ignoring_case(prefix, word, lower)
                  : !std::equal(prefix.begin(), prefix.end(), word.begin())) {
    return 0;
  }
  std::array<char16_t, 4> marker{};
  for (size_t i = 0; i < 4; ++i) {
    const size_t at = word.size() + i * unit;
    marker[i] = static_cast<char16_t>(candidate[at] | (unicode ? candidate[at + 1] << 8 : 0));
  }
  const auto digit = [](char16_t c) { return c >= u'0' && c <= u'9' ? c - u'0' : -1; };
  if (marker[0] == u' ' && marker[1] == u'[' && digit(marker[2]) > 0 && marker[3] == u']') {
    return digit(marker[2]);
  }
  if (marker[0] == u'[' && digit(marker[1]) > 0 && digit(marker[2]) >= 0 && marker[3] == u']') {
    return digit(marker[1]) * 10 + digit(marker[2]);
  }
  return 0;
}

struct Candidate {
  // cppcheck-suppress unusedStructMember ; read through the hits' pointers
  int node;
  // cppcheck-suppress unusedStructMember ; read through the hits' pointers
  uint32_t entry;
  std::vector<uint8_t> word;
};

}  // namespace

TableIndex::TableIndex(const WordTable& table) : table_(table), children_(table.nodes.size() + 1) {
  const auto add = [this](size_t slot, const std::vector<int>& nodes, size_t position) {
    for (int node : nodes) children_[slot].emplace_back(table_.nodes[node].key[position], node);
    std::sort(children_[slot].begin(), children_[slot].end());
  };
  add(0, table.roots, 0);
  for (size_t n = 0; n < table.nodes.size(); ++n) {
    const size_t position = static_cast<size_t>(table.nodes[n].level);
    if (position < fmt::kTableLevels) add(n + 1, table.nodes[n].children, position);
  }
}

std::span<const std::pair<uint8_t, int>> TableIndex::matching(int parent, uint8_t key) const {
  const auto& group = children_[static_cast<size_t>(parent) + 1];
  const auto begin = std::partition_point(group.begin(), group.end(),
                                          [key](const auto& child) { return child.first < key; });
  const auto end = std::partition_point(begin, group.end(),
                                        [key](const auto& child) { return child.first == key; });
  return {begin, end};
}

std::vector<int> searched_nodes(const TableIndex& index, std::span<const uint8_t> text,
                                const LowerCase& lower, bool first_only) {
  std::vector<int> nodes;
  descend(index, -1, 0, text, lower, first_only, nodes);
  return nodes;
}

std::vector<uint8_t> table_text(const Dictionary& d, std::span<const uint8_t> word) {
  std::vector<uint8_t> text(word.begin(), word.end());
  if (d.unicode()) text.push_back(0);  // the low byte of the zero terminator
  return text;
}

LookupResult lookup_word(const Dictionary& d, const std::vector<uint8_t>& word,
                         const LowerCase& lower) {
  LookupResult result;
  if (!d.table()) {
    result.error = "the word table cannot be read";
    return result;
  }
  const TableIndex index(*d.table());
  const std::vector<ChunkRef> word_chunks = d.chunks(Kind::kWords);
  std::vector<Candidate> candidates;
  for (int node : searched_nodes(index, table_text(d, word), lower)) {
    const TableNode& n = d.table()->nodes[node];
    auto words = entry_texts(d, word_chunks, Kind::kWords, n.words_record, n.words_slot, n.from,
                             n.num, result.error);
    if (!words) return result;
    for (size_t k = 0; k < words->size(); ++k) {
      candidates.push_back({node, n.from + static_cast<uint32_t>(k), std::move((*words)[k])});
    }
  }

  // The word as stored, then in another case, then its pieces.
  std::vector<std::pair<const Candidate*, int>> hits;
  for (const bool ignore_case : {false, true}) {
    for (const Candidate& c : candidates) {
      if (ignore_case ? equal_ignoring_case(c.word, word, lower) : c.word == word) {
        hits.emplace_back(&c, 0);
      }
    }
    if (!hits.empty()) break;
  }
  for (const bool ignore_case : {false, true}) {
    if (!hits.empty()) break;
    for (const Candidate& c : candidates) {
      const int piece = piece_number(c.word, word, d.unicode(), lower, ignore_case);
      if (piece > 0) hits.emplace_back(&c, piece);
    }
    std::stable_sort(hits.begin(), hits.end(),
                     [](const auto& a, const auto& b) { return a.second < b.second; });
  }

  const std::vector<ChunkRef> trans_chunks = d.chunks(Kind::kTrans);
  for (const auto& [candidate, piece] : hits) {
    // The translation chunk of the node's first entry, then on to this entry.
    const TableNode& n = d.table()->nodes[candidate->node];
    auto texts = entry_texts(d, trans_chunks, Kind::kTrans, n.trans_record, n.trans_slot,
                             candidate->entry, 1, result.error);
    if (!texts || texts->empty()) {
      if (result.error.empty()) result.error = "the translation of an entry is missing";
      result.hits.clear();
      return result;
    }
    result.hits.push_back({candidate->word, std::move(texts->front()), piece});
  }
  return result;
}

}  // namespace lexbuild::dump
