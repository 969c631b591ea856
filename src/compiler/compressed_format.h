// The compressed chunk format that the handheld reader decodes. A stream is a
// sequence of packets: a 16-bit flag word, stored low byte first, followed by
// the data bytes of the items its flags announce. Flag bits are taken from
// bit 0 upward; the last packet's unused high bits are 0.
//
//   item          flag bits      data bytes
//   literal       1              X                  output X
//   short match   0 0 L1 L0      D                  length 2..5, distance 256 - D
//   long match    0 1            A B                length (B & 7) + 2 when B & 7 != 0
//   long match    0 1            A B C              length C when B & 7 == 0
//   end marker    0 1            01 00 00           a long match whose C is 0
//
// In a long match w = A + 256 * (B >> 3) and the distance is 8192 - w. The
// data bytes of an item follow all of its flag bits: when an item's flag bit
// fills a packet, its data bytes open the next packet.
// These values are read by the handheld reader: DO NOT CHANGE them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lexbuild::compressed {

/// The input is coded in blocks of this size; no match reaches into an earlier block.
inline constexpr size_t kInputBlockSize = 17664;
/// Largest match distance, and the span of the 13-bit distance field.
inline constexpr size_t kWindowSize = 8192;
/// Largest match length (the C byte).
inline constexpr size_t kMaxMatchLength = 255;
/// A 2-byte repeat is only worth a code this close; farther ones need 3 bytes.
inline constexpr size_t kShortMatchMaxDistance = 255;
inline constexpr size_t kShortMatchMaxLength = 5;
/// Longest match that fits in the 3 length bits of B.
inline constexpr size_t kLongMatchMaxShortLength = 9;
inline constexpr size_t kFlagBitsPerPacket = 16;
inline constexpr uint8_t kEndMarker[3] = {0x01, 0x00, 0x00};

}  // namespace lexbuild::compressed
