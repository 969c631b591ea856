#include "lexdump/lookup.h"

#include <optional>

#include "compiler/format.h"

namespace lexbuild::dump {
namespace {

namespace fmt = lexbuild::format;

// The table node for `word`: at each level the first node whose key byte at
// that level is the word's lower-cased byte there (0 past its end).
std::optional<TableNode> find_node(const WordTable& table, const std::vector<uint8_t>& word,
                                   const std::array<uint8_t, 256>& lower) {
  const std::vector<int>* candidates = &table.roots;
  std::optional<TableNode> chosen;
  for (int level = 0; level < fmt::kTableLevels; ++level) {
    const uint8_t key = level < static_cast<int>(word.size()) ? lower[word[level]] : 0;
    const TableNode* match = nullptr;
    for (int index : *candidates) {
      if (table.nodes[index].key[level] == key) {
        match = &table.nodes[index];
        break;
      }
    }
    if (match == nullptr) return std::nullopt;
    chosen = *match;
    if (match->children.empty()) break;
    candidates = &match->children;
  }
  return chosen;
}

// The texts of entries [first, first + count) of a kind, walking the chunks
// from the one at (record, slot).
std::optional<std::vector<std::vector<uint8_t>>> entry_texts(const Dictionary& d, Kind kind,
                                                             size_t record, size_t slot,
                                                             uint32_t first, uint32_t count,
                                                             std::string& error) {
  std::vector<std::vector<uint8_t>> texts;
  const std::vector<ChunkRef> chunks = d.chunks(kind);
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

bool equal_ignoring_case(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b,
                         const std::array<uint8_t, 256>& lower) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (lower[a[i]] != lower[b[i]]) return false;
  }
  return true;
}

}  // namespace

LookupResult lookup_word(const Dictionary& d, const std::vector<uint8_t>& word,
                         const std::array<uint8_t, 256>& lower) {
  LookupResult result;
  if (!d.table()) {
    result.error = "the word table cannot be read";
    return result;
  }
  const std::optional<TableNode> node = find_node(*d.table(), word, lower);
  if (!node) return result;

  auto words = entry_texts(d, Kind::kWords, node->words_record, node->words_slot, node->from,
                           node->num, result.error);
  if (!words) return result;
  std::vector<uint32_t> hits;
  for (size_t k = 0; k < words->size(); ++k) {
    if ((*words)[k] == word) hits.push_back(node->from + static_cast<uint32_t>(k));
  }
  if (hits.empty()) {
    for (size_t k = 0; k < words->size(); ++k) {
      if (equal_ignoring_case((*words)[k], word, lower)) {
        hits.push_back(node->from + static_cast<uint32_t>(k));
      }
    }
  }
  for (uint32_t entry : hits) {
    // The translation chunk of the node's first entry, then on to this entry.
    auto texts =
        entry_texts(d, Kind::kTrans, node->trans_record, node->trans_slot, entry, 1, result.error);
    if (!texts || texts->empty()) {
      if (result.error.empty()) result.error = "the translation of an entry is missing";
      return result;
    }
    result.translations.push_back(std::move(texts->front()));
  }
  return result;
}

}  // namespace lexbuild::dump
