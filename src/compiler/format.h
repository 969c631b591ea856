// The dictionary database's layout: every size, offset and limit that the
// compiler, the post-build pass and the inspector share. These values are
// read by the handheld reader: DO NOT CHANGE them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lexbuild::format {

// ---- The database file (a Palm OS PDB) ----
//
//   offset 0   78-byte database header
//   offset 78  record list: one 8-byte entry per record
//              (u32 data offset, u8 attributes, 3-byte unique id)
//   then       2 zero bytes (the gap)
//   then       the records' bytes back to back, in record order
inline constexpr size_t kDbHeaderSize = 78;
inline constexpr size_t kDbNameOffset = 0;  // 32 bytes, zero-terminated
inline constexpr size_t kDbNameSize = 32;
inline constexpr size_t kDbAttributesOffset = 32;    // u16
inline constexpr size_t kDbVersionOffset = 34;       // u16, 1
inline constexpr size_t kDbCreationDateOffset = 36;  // u32
inline constexpr size_t kDbModificationDateOffset = 40;
inline constexpr size_t kDbBackupDateOffset = 44;
inline constexpr size_t kDbModificationNumberOffset = 48;
inline constexpr size_t kDbAppInfoOffset = 52;
inline constexpr size_t kDbSortInfoOffset = 56;
inline constexpr size_t kDbTypeOffset = 60;     // "DICT"
inline constexpr size_t kDbCreatorOffset = 64;  // "Vlmr"
inline constexpr size_t kDbUniqueIdSeedOffset = 68;
inline constexpr size_t kDbNextRecordListOffset = 72;
inline constexpr size_t kDbRecordCountOffset = 76;  // u16
inline constexpr size_t kRecordEntrySize = 8;
inline constexpr size_t kRecordListGap = 2;
inline constexpr char kDbType[] = "DICT";
inline constexpr char kDbCreator[] = "Vlmr";
inline constexpr uint16_t kDbVersion = 1;
/// Added to time(): the seconds from 1904-01-01 to 1970-01-01 plus 3 h 59 min 56 s.
inline constexpr uint32_t kDateOffset = 2082859196u;
/// Record sizes are taken in 16 bits.
inline constexpr size_t kMaxRecordSize = 65535;
inline constexpr size_t kMaxRecordCount = 65535;

// ---- Record 0: the header record, 550 bytes ----
inline constexpr size_t kHeaderRecordSize = 550;
inline constexpr size_t kFormatMarkerOffset = 0;       // u32, 1
inline constexpr size_t kLayoutMarkerOffset = 4;       // u16, 1
inline constexpr size_t kTabRecordOffset = 6;          // u16, 1
inline constexpr size_t kIndexWRecordOffset = 8;       // u16, 2
inline constexpr size_t kIndexTRecordOffset = 10;      // u16, 3
inline constexpr size_t kFirstWordsRecordOffset = 12;  // u16, 4
inline constexpr size_t kFirstTransRecordOffset = 14;  // u16, 4 + W
inline constexpr size_t kAboutRecordOffset = 16;
inline constexpr size_t kAbbrRecordOffset = 18;
inline constexpr size_t kFontTransRecordOffset = 20;  // the translation font
inline constexpr size_t kFontWordsRecordOffset = 22;  // the word-list font
inline constexpr size_t kKbdRecordOffset = 24;
inline constexpr size_t kItemsCountOffset = 26;     // u32
inline constexpr size_t kUnicodeFlagOffset = 34;    // u32
inline constexpr size_t kLargefontFlagOffset = 38;  // u32
inline constexpr size_t kPicturesDbNameOffset = 42;
inline constexpr size_t kPicturesDbNameSize = 32;       // at most 31 characters and a zero
inline constexpr size_t kAllowHtmlFlagOffset = 158;     // u32, signed
inline constexpr size_t kTextFontHrRecordOffset = 162;  // u16
inline constexpr size_t kListFontHrRecordOffset = 164;  // u16
inline constexpr size_t kHeaderCrcOffset = 546;         // u32, little-endian
inline constexpr size_t kFirstChunkRecord = 4;

// ---- Chunks ----
/// A chunk's raw size stays below this.
inline constexpr size_t kChunkLimit = 8192;
/// Chunk file names carry the first entry in six digits.
inline constexpr uint32_t kMaxEntries = 999999;

// ---- Chunk records and index records ----
//
//   record header (110 bytes): u16 chunk count, u32 first entry,
//                              u32 entry total, 10 chunk descriptors
//   chunk descriptor (10 bytes): u16 offset in the record, u16 even size,
//                                u32 first entry, u16 entry count
inline constexpr size_t kRecordHeaderSize = 110;
inline constexpr size_t kChunkDescriptorSize = 10;
inline constexpr size_t kChunksPerRecord = 10;
inline constexpr size_t kFirstDescriptorOffset = 10;

// ---- The word table record ----
//
//   u16 node count, then 16 bytes a node in depth-first order:
//   4 key bytes, u16 num, u16 words_record, u16 trans_record,
//   u8 words_slot, u8 trans_slot, u32 from
inline constexpr size_t kTableNodeSize = 16;
inline constexpr int kTableLevels = 4;
/// A node with more entries than this is divided by the next byte.
inline constexpr uint32_t kSplitThreshold = 1000;

}  // namespace lexbuild::format
