// The block compressor: codes a chunk into the packet format of
// compiler/compressed_format.h. The search rules fix the exact bytes, so the
// same input always gives the same database:
//   - the input is coded in blocks of 17,664 bytes; each block starts with a
//     literal and never refers to an earlier block, but the packets run on;
//   - at each position the longest earlier match within 8,192 bytes wins
//     (at most 255 bytes long), and among equally long ones the farthest;
//   - it is coded when it is 2 bytes long and at most 255 back, or 3 bytes or
//     longer; otherwise the byte goes out as a literal;
//   - the stream ends with the end marker and the last, partly filled packet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "compiler/compressed_format.h"
#include "compiler/match_finder.h"

namespace lexbuild {

namespace platform {
class InputFile;
class OutputFile;
}  // namespace platform

/// The packet being filled, appended to a byte buffer. The current packet's
/// flag word has a 2-byte slot reserved in the buffer and the data bytes
/// follow it, so every byte lands where the reader expects it.
class PacketEncoder {
 public:
  /// Starts the first packet at the end of `out`.
  explicit PacketEncoder(std::vector<uint8_t>& out);

  /// Adds the lowest bit of `bit` as the next flag bit. The 16th bit completes
  /// the packet; data bytes added after it belong to the next one.
  void put_flag_bit(unsigned bit) {
    flag_word_ = static_cast<uint16_t>((flag_word_ >> 1) | ((bit & 1u) << 15));
    if (++bits_held_ == compressed::kFlagBitsPerPacket) complete_packet();
  }
  /// Adds the lowest `count` bits of `bits` (1 to 4) as the next flag bits,
  /// bit 0 first, as that many calls of put_flag_bit() would.
  void put_flag_bits(unsigned bits, unsigned count) {
    if (bits_held_ + count < compressed::kFlagBitsPerPacket) {
      // None of them completes the packet: shifted in at once.
      const unsigned value = bits & ((1u << count) - 1);
      flag_word_ = static_cast<uint16_t>((flag_word_ >> count) | (value << (16 - count)));
      bits_held_ += count;
      return;
    }
    for (unsigned i = 0; i < count; ++i) put_flag_bit(bits >> i);
  }
  /// Adds a data byte of the item whose flag bits were all put.
  void put_data_byte(uint8_t byte) { out_.push_back(byte); }
  /// Stores the last packet's flag word with its held bits moved down to bit 0
  /// and the unused high bits clear (0 when no bit is held). Ends the stream.
  void flush_last_packet();

  /// Bytes at the start of the buffer that belong to completed packets.
  size_t completed_size() const { return slot_; }
  /// Drops the completed packets from the buffer (they were written out).
  void discard_completed();

 private:
  /// Stores the full flag word in its slot and opens the next packet's.
  void complete_packet();

  std::vector<uint8_t>& out_;
  size_t slot_;  // where the current packet's flag word goes
  uint16_t flag_word_ = 0;
  unsigned bits_held_ = 0;
};

/// A compressor with its own search tables (about 1 MB), reusable for any
/// number of inputs. One object serves one thread at a time.
class Compressor {
 public:
  /// The whole stream for `input`: its blocks, the end marker, the last packet.
  std::vector<uint8_t> compress(std::span<const uint8_t> input);

  /// Codes one input block of at most 17,664 bytes into `encoder` (a longer
  /// one throws std::invalid_argument).
  void compress_block(std::span<const uint8_t> block, PacketEncoder& encoder);

  /// Puts the end marker and the last packet.
  static void finish(PacketEncoder& encoder);

 private:
  MatchFinder finder_;
};

/// Compress `input` in memory with a compressor kept per thread: safe to call
/// from several threads at once.
std::vector<uint8_t> compress_bytes(std::span<const uint8_t> input);

enum class CompressStatus {
  kOk,
  kCannotOpenSource,
  kCannotReadSource,
  kCannotCreateDestination,
  kCannotWriteDestination,
};

struct CompressResult {
  CompressStatus status = CompressStatus::kOk;
  int error_code = 0;  // the system's error number for a failure
  std::string path;    // the file that failed, when known
  uint64_t bytes_written = 0;

  bool ok() const { return status == CompressStatus::kOk; }
  /// What went wrong, naming the file: "cannot write \"/tmp/2.bin\": No space left on device".
  std::string message() const;
};

/// Codes everything `input` holds into `output` and flushes it. A failure to
/// read or to write is returned (without a path); the bytes written before it
/// stay in the output.
CompressResult compress_stream(platform::InputFile& input, platform::OutputFile& output);

/// Compresses the file `source` into `destination`, created or replaced.
/// Every failure to open, read or write is returned with the file's path, so
/// that a chunk can never go missing unnoticed.
CompressResult compress_file(const std::string& source, const std::string& destination);

}  // namespace lexbuild
