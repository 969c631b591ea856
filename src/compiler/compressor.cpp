#include "compiler/compressor.h"

#include <algorithm>
#include <memory>
#include <mutex>

#include "compiler/compressed_format.h"
#include "platform/file.h"

namespace lexbuild {

// ---- PacketEncoder ----

PacketEncoder::PacketEncoder(std::vector<uint8_t>& out) : out_(out), slot_(out.size()) {
  out_.resize(slot_ + 2);
}

void PacketEncoder::complete_packet() {
  // The flag word goes into its slot and the next packet's slot opens after
  // the data bytes collected so far.
  out_[slot_] = static_cast<uint8_t>(flag_word_);
  out_[slot_ + 1] = static_cast<uint8_t>(flag_word_ >> 8);
  slot_ = out_.size();
  out_.push_back(0);
  out_.push_back(0);
  bits_held_ = 0;
}

void PacketEncoder::flush_last_packet() {
  // A shift by 16 would be the whole width of the word: no bit held gives 0.
  const uint16_t word =
      bits_held_ == 0 ? 0 : static_cast<uint16_t>(flag_word_ >> (16 - bits_held_));
  out_[slot_] = static_cast<uint8_t>(word);
  out_[slot_ + 1] = static_cast<uint8_t>(word >> 8);
  slot_ = out_.size();
  bits_held_ = 0;
  flag_word_ = 0;
}

void PacketEncoder::discard_completed() {
  out_.erase(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(slot_));
  slot_ = 0;
}

// ---- Compressor ----

namespace {

void put_literal(PacketEncoder& encoder, uint8_t byte) {
  encoder.put_flag_bit(1);
  encoder.put_data_byte(byte);
}

void put_match(PacketEncoder& encoder, size_t length, size_t distance) {
  if (length <= compressed::kShortMatchMaxLength &&
      distance <= compressed::kShortMatchMaxDistance) {
    // Short match: 0, 0, then the two bits of length - 2 (high first), then 256 - distance.
    const auto code = static_cast<unsigned>(length - 2);
    encoder.put_flag_bits(((code >> 1) << 2) | ((code & 1) << 3), 4);
    encoder.put_data_byte(static_cast<uint8_t>(256 - distance));
    return;
  }
  // Long match: 0, 1, then the 13-bit w = 8192 - distance in A and the top of
  // B, with the length in B's low 3 bits up to 9 bytes, else in a third byte.
  const auto w = static_cast<unsigned>(compressed::kWindowSize - distance);
  encoder.put_flag_bits(0b10, 2);
  encoder.put_data_byte(static_cast<uint8_t>(w & 0xFF));
  const auto high = static_cast<uint8_t>((w >> 8) << 3);
  if (length <= compressed::kLongMatchMaxShortLength) {
    encoder.put_data_byte(static_cast<uint8_t>(high | (length - 2)));
  } else {
    encoder.put_data_byte(high);
    encoder.put_data_byte(static_cast<uint8_t>(length));
  }
}

/// Whether a match found by the search is worth its code.
bool worth_coding(const Match& match) {
  return match.length >= 3 ||
         (match.length == 2 && match.distance <= compressed::kShortMatchMaxDistance);
}

}  // namespace

void Compressor::compress_block(std::span<const uint8_t> block, PacketEncoder& encoder) {
  if (block.empty()) return;
  finder_.index(block);
  // The first byte has no window to look into.
  put_literal(encoder, block[0]);
  size_t pos = 1;
  while (pos < block.size()) {
    const Match match = finder_.find(pos);
    if (worth_coding(match)) {
      put_match(encoder, match.length, match.distance);
      pos += match.length;
    } else {
      put_literal(encoder, block[pos]);
      ++pos;
    }
  }
}

void Compressor::finish(PacketEncoder& encoder) {
  encoder.put_flag_bits(0b10, 2);
  for (uint8_t byte : compressed::kEndMarker) encoder.put_data_byte(byte);
  encoder.flush_last_packet();
}

std::vector<uint8_t> Compressor::compress(std::span<const uint8_t> input) {
  std::vector<uint8_t> out;
  // Literals cost 9 bits a byte at worst, plus the end marker and the last packet.
  out.reserve(input.size() + input.size() / 8 + 8);
  PacketEncoder encoder(out);
  for (size_t start = 0; start < input.size(); start += compressed::kInputBlockSize) {
    compress_block(
        input.subspan(start, std::min(compressed::kInputBlockSize, input.size() - start)), encoder);
  }
  finish(encoder);
  return out;
}

namespace {

// Compressors (their search tables are large) are lent to the threads that
// compress from a pool, not kept in thread-local storage: with mingw-w64 a
// thread-local object's destructor runs after the thread's storage is freed
// and corrupts the heap when a worker thread ends.
class CompressorPool {
 public:
  std::unique_ptr<Compressor> borrow() {
    {
      const std::lock_guard lock(mutex_);
      if (!idle_.empty()) {
        std::unique_ptr<Compressor> compressor = std::move(idle_.back());
        idle_.pop_back();
        return compressor;
      }
    }
    return std::make_unique<Compressor>();
  }
  void give_back(std::unique_ptr<Compressor> compressor) {
    const std::lock_guard lock(mutex_);
    idle_.push_back(std::move(compressor));
  }

 private:
  std::mutex mutex_;
  std::vector<std::unique_ptr<Compressor>> idle_;
};

CompressorPool& compressor_pool() {
  static CompressorPool pool;
  return pool;
}

// A compressor of the pool for as long as the object lives.
class BorrowedCompressor {
 public:
  BorrowedCompressor() : compressor_(compressor_pool().borrow()) {}
  ~BorrowedCompressor() { compressor_pool().give_back(std::move(compressor_)); }
  BorrowedCompressor(const BorrowedCompressor&) = delete;
  BorrowedCompressor& operator=(const BorrowedCompressor&) = delete;
  Compressor& operator*() const { return *compressor_; }

 private:
  std::unique_ptr<Compressor> compressor_;
};

}  // namespace

std::vector<uint8_t> compress_bytes(std::span<const uint8_t> input) {
  const BorrowedCompressor compressor;
  return (*compressor).compress(input);
}

// ---- Files ----

std::string CompressResult::message() const {
  const std::string reason = error_code != 0 ? ": " + platform::error_text(error_code) : "";
  const std::string name = path.empty() ? "the file" : "\"" + path + "\"";
  switch (status) {
    case CompressStatus::kOk:
      return "no failure";
    case CompressStatus::kCannotOpenSource:
      return "cannot open " + name + " for reading" + reason;
    case CompressStatus::kCannotReadSource:
      return "cannot read " + name + reason;
    case CompressStatus::kCannotCreateDestination:
      return "cannot create " + name + reason;
    case CompressStatus::kCannotWriteDestination:
      return "cannot write " + name + reason;
  }
  return "unknown failure";
}

CompressResult compress_stream(platform::InputFile& input, platform::OutputFile& output) {
  CompressResult result;
  const BorrowedCompressor borrowed;
  Compressor& compressor = *borrowed;
  std::vector<uint8_t> block(compressed::kInputBlockSize);
  std::vector<uint8_t> packets;
  PacketEncoder encoder(packets);

  // Hands the completed packets to the output; false when a write failed.
  auto write_completed = [&]() {
    output.write(packets.data(), encoder.completed_size());
    result.bytes_written += encoder.completed_size();
    encoder.discard_completed();
    return !output.failed();
  };

  for (;;) {
    const size_t n = input.read(block.data(), block.size());
    if (input.failed()) {
      // A read error must not pass for the end of the input: the chunk would be cut short.
      result.status = CompressStatus::kCannotReadSource;
      result.error_code = input.error_code();
      return result;
    }
    if (n == 0) break;
    compressor.compress_block({block.data(), n}, encoder);
    if (!write_completed()) break;
  }
  if (!output.failed()) {
    Compressor::finish(encoder);
    write_completed();
    output.flush();
  }
  if (output.failed()) {
    result.status = CompressStatus::kCannotWriteDestination;
    result.error_code = output.error_code();
  }
  return result;
}

CompressResult compress_file(const std::string& source, const std::string& destination) {
  CompressResult result;
  platform::InputFile input;
  if (!input.open(source)) {
    result.status = CompressStatus::kCannotOpenSource;
    result.error_code = input.error_code();
    result.path = source;
    return result;
  }
  platform::OutputFile output;
  if (!output.create(destination)) {
    result.status = CompressStatus::kCannotCreateDestination;
    result.error_code = output.error_code();
    result.path = destination;
    return result;
  }
  result = compress_stream(input, output);
  if (!output.close() && result.ok()) {
    result.status = CompressStatus::kCannotWriteDestination;
    result.error_code = output.error_code();
  }
  switch (result.status) {
    case CompressStatus::kCannotOpenSource:
    case CompressStatus::kCannotReadSource:
      result.path = source;
      break;
    case CompressStatus::kCannotCreateDestination:
    case CompressStatus::kCannotWriteDestination:
      result.path = destination;
      break;
    case CompressStatus::kOk:
      break;
  }
  return result;
}

}  // namespace lexbuild
