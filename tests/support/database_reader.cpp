#include "support/database_reader.h"

#include <algorithm>
#include <stdexcept>

#include "compiler/byte_order.h"
#include "compiler/crc32.h"
#include "compiler/decompressor.h"
#include "compiler/format.h"

namespace lexbuild::testing {
namespace {

namespace f = format;
using Bytes = std::vector<uint8_t>;

[[noreturn]] void fail(const std::string& what) { throw std::runtime_error(what); }

void expect(bool condition, const std::string& what) {
  if (!condition) fail(what);
}

// The records of one kind decoded into their texts, in entry order.
std::vector<std::string> decode_kind(const PdbContents& pdb, const Bytes& index, size_t first,
                                     size_t count, bool words, size_t& chunks) {
  const std::string kind = words ? "words" : "trans";
  expect(index.size() == count * f::kRecordHeaderSize, kind + " index size");
  std::vector<std::string> texts;
  for (size_t r = 0; r < count; ++r) {
    expect(first + r < pdb.records.size(), kind + " record missing");
    const Bytes& record = pdb.records[first + r];
    const std::string where = kind + " record " + std::to_string(r);
    expect(record.size() >= f::kRecordHeaderSize, where + " shorter than its header");
    expect(std::equal(record.begin(), record.begin() + f::kRecordHeaderSize,
                      index.begin() + static_cast<std::ptrdiff_t>(r * f::kRecordHeaderSize)),
           where + " header differs from the index");
    const uint16_t n = get_be16(record.data());
    expect(n <= f::kChunksPerRecord, where + " chunk count");
    expect(n > 0 || r + 1 == count, where + " is empty but not the last");
    uint32_t entries = 0;
    size_t offset = f::kRecordHeaderSize;
    for (size_t k = 0; k < f::kChunksPerRecord; ++k) {
      const uint8_t* d = record.data() + f::kFirstDescriptorOffset + k * f::kChunkDescriptorSize;
      if (k >= n) {
        expect(std::all_of(d, d + f::kChunkDescriptorSize, [](uint8_t b) { return b == 0; }),
               where + " unused descriptor not zero");
        continue;
      }
      const std::string chunk = where + " slot " + std::to_string(k);
      expect(get_be16(d) == offset, chunk + " offset");
      const uint16_t size = get_be16(d + 2);
      expect(size % 2 == 0, chunk + " odd size");
      expect(get_be32(d + 4) == texts.size(), chunk + " first entry");
      if (k == 0) expect(get_be32(record.data() + 2) == texts.size(), where + " first entry");
      const uint16_t chunk_entries = get_be16(d + 8);
      expect(offset + size <= record.size(), chunk + " runs past the record");
      const std::span<const uint8_t> stream(record.data() + offset, size);
      const DecodeResult decoded = decompress_stream(stream, f::kChunkLimit - 1);
      expect(decoded.ok(), chunk + ": " + decoded.message());
      expect(size - decoded.consumed <= 1, chunk + " size beyond its stream and pad byte");
      const Bytes& raw = decoded.output;
      size_t pos = 0;
      for (uint16_t e = 0; e < chunk_entries; ++e) {
        expect(pos < raw.size(), chunk + " holds fewer entries than its descriptor says");
        size_t length = raw[pos];
        size_t head = 1;
        if (!words && length == 0) {
          expect(pos + 3 <= raw.size(), chunk + " long record head");
          length = get_be16(raw.data() + pos + 1);
          head = 3;
        }
        expect(length >= head && pos + length <= raw.size(), chunk + " record length");
        texts.emplace_back(raw.begin() + static_cast<std::ptrdiff_t>(pos + head),
                           raw.begin() + static_cast<std::ptrdiff_t>(pos + length));
        pos += length;
      }
      expect(pos == raw.size(), chunk + " holds more than its entries");
      entries += chunk_entries;
      offset += size;
      ++chunks;
    }
    expect(offset == record.size(), where + " size");
    expect(get_be32(record.data() + 6) == entries, where + " entry total");
  }
  return texts;
}

// Whether the chunk at `slot` of record `record` listed in `index` holds entry `entry`.
bool chunk_holds(const Bytes& index, size_t record, size_t slot, uint32_t entry) {
  if (record >= index.size() / f::kRecordHeaderSize || slot >= f::kChunksPerRecord) return false;
  const uint8_t* header = index.data() + record * f::kRecordHeaderSize;
  if (slot >= get_be16(header)) return false;
  const uint8_t* d = header + f::kFirstDescriptorOffset + slot * f::kChunkDescriptorSize;
  const uint32_t first = get_be32(d + 4);
  return entry >= first && entry - first < get_be16(d + 8);
}

// Every node of the word table names the chunks that hold its first entry.
void check_table_links(const PdbContents& pdb) {
  const Bytes& table = pdb.records[1];
  expect(table.size() >= 2, "word table record size");
  const size_t nodes = get_be16(table.data());
  expect(table.size() == 2 + nodes * f::kTableNodeSize, "word table record size");
  for (size_t n = 0; n < nodes; ++n) {
    const uint8_t* node = table.data() + 2 + n * f::kTableNodeSize;
    const uint32_t from = get_be32(node + 12);
    const std::string where = "word table node " + std::to_string(n);
    expect(chunk_holds(pdb.records[2], get_be16(node + 6), node[10], from),
           where + " names the wrong words chunk");
    expect(chunk_holds(pdb.records[3], get_be16(node + 8), node[11], from),
           where + " names the wrong translations chunk");
  }
}

}  // namespace

DecodedDictionary read_dictionary(const Bytes& image) {
  DecodedDictionary dict;
  dict.pdb = split_pdb(image);
  const PdbContents& pdb = dict.pdb;
  expect(pdb.records.size() >= 6, "fewer than six records");
  const Bytes& header = pdb.records[0];
  expect(header.size() == f::kHeaderRecordSize, "header record size");
  expect(crc32(header) == kCrc32Residue, "header record CRC");
  expect(get_be16(header.data() + f::kTabRecordOffset) == 1 &&
             get_be16(header.data() + f::kIndexWRecordOffset) == 2 &&
             get_be16(header.data() + f::kIndexTRecordOffset) == 3 &&
             get_be16(header.data() + f::kFirstWordsRecordOffset) == 4,
         "fixed record numbers");
  dict.items_count = get_be32(header.data() + f::kItemsCountOffset);
  dict.words_records = static_cast<uint32_t>(pdb.records[2].size() / f::kRecordHeaderSize);
  dict.trans_records = static_cast<uint32_t>(pdb.records[3].size() / f::kRecordHeaderSize);
  expect(get_be16(header.data() + f::kFirstTransRecordOffset) == 4 + dict.words_records,
         "first translations record");

  const auto words =
      decode_kind(pdb, pdb.records[2], 4, dict.words_records, true, dict.words_chunks);
  const auto translations = decode_kind(pdb, pdb.records[3], 4 + dict.words_records,
                                        dict.trans_records, false, dict.trans_chunks);
  expect(words.size() == dict.items_count, "words decoded differ from the entry count");
  expect(translations.size() == dict.items_count,
         "translations decoded differ from the entry count");
  check_table_links(pdb);
  for (size_t i = 0; i < words.size(); ++i) dict.entries.push_back({words[i], translations[i]});
  return dict;
}

}  // namespace lexbuild::testing
