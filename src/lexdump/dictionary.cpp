#include "lexdump/dictionary.h"

#include <algorithm>

#include "compiler/byte_order.h"
#include "compiler/decompressor.h"
#include "compiler/format.h"
#include "platform/unicode_text.h"

namespace lexbuild::dump {

namespace fmt = lexbuild::format;

std::optional<Dictionary> Dictionary::open(std::vector<uint8_t> bytes, Findings& findings) {
  const size_t known = findings.size();
  std::optional<PdbFile> file = parse_pdb(std::move(bytes), findings);
  if (!file) return std::nullopt;
  Findings container_damage(findings.begin() + static_cast<ptrdiff_t>(known), findings.end());
  if (file->records.empty()) {
    findings.push_back({"header-record", "the database holds no records"});
    return std::nullopt;
  }
  std::optional<HeaderRecord> record0 = parse_header_record(file->record(0));
  if (!record0) {
    findings.push_back({"header-record", "record 0 holds " +
                                             std::to_string(file->record(0).size()) +
                                             " bytes, fewer than the 550 of a header record"});
    return std::nullopt;
  }
  Dictionary dictionary;
  dictionary.container_damage_ = std::move(container_damage);
  dictionary.pdb_ = std::move(*file);
  dictionary.header_ = *record0;
  dictionary.table_ = parse_word_table(dictionary.pdb_.record(record0->tab_record));
  return dictionary;
}

size_t Dictionary::record_count(Kind kind) const {
  const size_t total = pdb_.records.size();
  if (kind == Kind::kWords) {
    if (header_.first_trans_record < header_.first_words_record) return 0;
    const size_t end = std::min<size_t>(header_.first_trans_record, total);
    return end > header_.first_words_record ? end - header_.first_words_record : 0;
  }
  // The translations index lists one header per translations chunk record.
  const size_t listed = index_record(Kind::kTrans).size() / fmt::kRecordHeaderSize;
  const size_t available =
      total > header_.first_trans_record ? total - header_.first_trans_record : 0;
  return std::min(listed, available);
}

size_t Dictionary::record_number(Kind kind, size_t index) const {
  return (kind == Kind::kWords ? header_.first_words_record : header_.first_trans_record) + index;
}

std::span<const uint8_t> Dictionary::chunk_record(Kind kind, size_t index) const {
  return pdb_.record(record_number(kind, index));
}

std::span<const uint8_t> Dictionary::index_record(Kind kind) const {
  return pdb_.record(kind == Kind::kWords ? header_.index_w_record : header_.index_t_record);
}

std::vector<RecordHeader> Dictionary::record_headers(Kind kind) const {
  std::vector<RecordHeader> headers;
  for (size_t i = 0; i < record_count(kind); ++i) {
    if (auto h = parse_record_header(chunk_record(kind, i))) headers.push_back(*h);
  }
  return headers;
}

std::vector<ChunkRef> Dictionary::chunks(Kind kind) const {
  std::vector<ChunkRef> refs;
  for (size_t i = 0; i < record_count(kind); ++i) {
    const std::span<const uint8_t> record = chunk_record(kind, i);
    const std::optional<RecordHeader> record_header = parse_record_header(record);
    if (!record_header) continue;
    const size_t count = std::min<size_t>(record_header->chunk_count, fmt::kChunksPerRecord);
    for (size_t slot = 0; slot < count; ++slot) {
      ChunkRef ref;
      ref.kind = kind;
      ref.record = i;
      ref.slot = slot;
      ref.descriptor = record_header->chunks[slot];
      const size_t offset = std::min<size_t>(ref.descriptor.offset, record.size());
      const size_t size = std::min<size_t>(ref.descriptor.size, record.size() - offset);
      ref.data = record.subspan(offset, size);
      refs.push_back(ref);
    }
  }
  return refs;
}

DecodedChunk Dictionary::decode(const ChunkRef& chunk) {
  DecodeResult result = decompress_stream(chunk.data, fmt::kChunkLimit - 1);
  DecodedChunk decoded;
  decoded.ok = result.ok();
  decoded.consumed = result.consumed;
  if (!decoded.ok) decoded.error = result.message();
  decoded.raw = std::move(result.output);
  return decoded;
}

std::optional<std::vector<std::vector<uint8_t>>> Dictionary::split_records(
    Kind kind, std::span<const uint8_t> raw) const {
  std::vector<std::vector<uint8_t>> texts;
  size_t pos = 0;
  while (pos < raw.size()) {
    size_t length = raw[pos];
    size_t head = 1;
    if (kind == Kind::kTrans && length == 0) {
      // Long form: a zero, then the length (head included) in 16 bits.
      if (pos + 3 > raw.size()) return std::nullopt;
      length = get_be16(raw.data() + pos + 1);
      head = 3;
    }
    if (length < head || pos + length > raw.size()) return std::nullopt;
    const auto body = raw.subspan(pos + head, length - head);
    std::vector<uint8_t> text(body.begin(), body.end());
    if (kind == Kind::kWords && unicode()) {
      // A UTF-16 word is its units and the low byte of a zero terminator.
      if (text.empty() || text.back() != 0 || text.size() % 2 == 0) return std::nullopt;
      text.pop_back();
    } else if (unicode() && text.size() % 2 != 0) {
      return std::nullopt;  // half a unit: a damaged record, not a shorter text
    }
    texts.push_back(std::move(text));
    pos += length;
  }
  return texts;
}

std::optional<std::string> Dictionary::damage() const {
  if (!container_damage_.empty()) return container_damage_.front().detail;
  const size_t total = pdb_.records.size();
  for (Kind kind : {Kind::kWords, Kind::kTrans}) {
    const std::string name = kind == Kind::kWords ? "words" : "translations";
    const size_t listed = index_record(kind).size() / fmt::kRecordHeaderSize;
    const size_t first =
        kind == Kind::kWords ? header_.first_words_record : header_.first_trans_record;
    if (listed == 0 || first + listed > total) {
      return "the " + name + " index lists " + std::to_string(listed) +
             " chunk records from record " + std::to_string(first) + ", the database holds " +
             std::to_string(total) + " records";
    }
    for (size_t i = 0; i < record_count(kind); ++i) {
      const std::span<const uint8_t> record = chunk_record(kind, i);
      const std::optional<RecordHeader> h = parse_record_header(record);
      const std::string where = name + " record " + std::to_string(i);
      if (!h) return where + " is shorter than its 110-byte header";
      if (h->chunk_count > fmt::kChunksPerRecord) {
        return where + " claims " + std::to_string(h->chunk_count) + " chunks";
      }
      for (size_t slot = 0; slot < h->chunk_count; ++slot) {
        const ChunkDescriptor& c = h->chunks[slot];
        if (size_t{c.offset} + c.size > record.size()) {
          return where + " chunk " + std::to_string(slot) + " runs past the end of its record";
        }
      }
    }
  }
  return std::nullopt;
}

std::optional<std::vector<StoredEntry>> Dictionary::entries(std::string& error) const {
  if (auto problem = damage()) {
    error = *problem;
    return std::nullopt;
  }
  std::vector<std::vector<uint8_t>> words;
  std::vector<std::vector<uint8_t>> translations;
  for (Kind kind : {Kind::kWords, Kind::kTrans}) {
    auto& sink = kind == Kind::kWords ? words : translations;
    for (const ChunkRef& chunk : chunks(kind)) {
      const char* name = kind == Kind::kWords ? "words" : "translations";
      const DecodedChunk decoded = decode(chunk);
      if (!decoded.ok) {
        error = std::string(name) + " record " + std::to_string(chunk.record) + " chunk " +
                std::to_string(chunk.slot) + ": " + decoded.error;
        return std::nullopt;
      }
      auto texts = split_records(kind, decoded.raw);
      if (!texts) {
        error = std::string(name) + " record " + std::to_string(chunk.record) + " chunk " +
                std::to_string(chunk.slot) + " does not divide into whole entries";
        return std::nullopt;
      }
      for (auto& t : *texts) sink.push_back(std::move(t));
    }
  }
  if (words.size() != header_.items_count || translations.size() != header_.items_count) {
    error = "the header record counts " + std::to_string(header_.items_count) +
            " entries, the chunks hold " + std::to_string(words.size()) + " words and " +
            std::to_string(translations.size()) + " translations";
    return std::nullopt;
  }
  std::vector<StoredEntry> entries(words.size());
  for (size_t i = 0; i < words.size(); ++i) {
    entries[i].word = std::move(words[i]);
    entries[i].translation = std::move(translations[i]);
  }
  return entries;
}

std::string display_text(std::span<const uint8_t> text, bool unicode) {
  if (unicode) return platform::utf16le_to_utf8(text);
  return std::string(text.begin(), text.end());
}

}  // namespace lexbuild::dump
