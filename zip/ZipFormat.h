// The ZIP records as they lie in an archive: little-endian, no padding. The
// target is i686, so the records are read and written as they stand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "system.h"

// Record signatures. The alternative set is the engine's own, written only when
// the standard-signatures flag is off.
constexpr uint32_t ZE_LOCAL_SIG = 0x04034B50;
constexpr uint32_t ZE_LOCAL_SIG_ALT = 0x05045C61;
constexpr uint32_t ZE_CENTRAL_SIG = 0x02014B50;
constexpr uint32_t ZE_CENTRAL_SIG_ALT = 0x03025C61;
constexpr uint32_t ZE_END_SIG = 0x06054B50;
constexpr uint32_t ZE_END_SIG_ALT = 0x06054141;
constexpr uint32_t ZE_ZIP64_END_SIG = 0x06064B50;
constexpr uint32_t ZE_ZIP64_LOCATOR_SIG = 0x07064B50;
constexpr uint32_t ZE_DESCRIPTOR_SIG = 0x08074B50;

// Extra block identifiers.
constexpr uint16_t ZE_EXTRA_ZIP64 = 0x0001;
constexpr uint16_t ZE_EXTRA_UNICODE = 0x554E;  // the bytes "NU"
constexpr uint16_t ZE_EXTRA_AES = 0x9901;
constexpr uint32_t ZE_UNICODE_TAG = 0x5843554E;  // the bytes "NUCX"

// Version-needed values (standard set; the alternative set uses 0x412D/0x4114).
constexpr uint16_t ZE_VERSION_ZIP64 = 45;
constexpr uint16_t ZE_VERSION_OEM = 20;
constexpr uint16_t ZE_VERSION_ANSI = 0x0B14;
constexpr uint16_t ZE_VERSION_ALT_ZIP64 = 0x412D;
constexpr uint16_t ZE_VERSION_ALT = 0x4114;

constexpr uint32_t ZE_ALL32 = 0xFFFFFFFFu;
constexpr uint16_t ZE_ALL16 = 0xFFFFu;

// Windows attribute bits as the external attributes carry them.
constexpr uint32_t ZE_ATTR_READONLY = 0x01;
constexpr uint32_t ZE_ATTR_HIDDEN = 0x02;
constexpr uint32_t ZE_ATTR_SYSTEM = 0x04;
constexpr uint32_t ZE_ATTR_VOLUME = 0x08;
constexpr uint32_t ZE_ATTR_DIRECTORY = 0x10;
constexpr uint32_t ZE_ATTR_ARCHIVE = 0x20;

#pragma pack(push, 1)

struct TZEZipFileHeader {  // local file header
  uint32_t Signature;
  uint16_t VersionNeeded;
  uint16_t Flags;
  uint16_t Method;
  uint16_t ModTime;
  uint16_t ModDate;
  uint32_t Crc32;
  uint32_t CompressedSize;
  uint32_t UncompressedSize;
  uint16_t NameLength;
  uint16_t ExtraLength;
};
static_assert(offsetof(TZEZipFileHeader, Signature) == 0);
static_assert(offsetof(TZEZipFileHeader, VersionNeeded) == 4);
static_assert(offsetof(TZEZipFileHeader, Flags) == 6);
static_assert(offsetof(TZEZipFileHeader, Method) == 8);
static_assert(offsetof(TZEZipFileHeader, ModTime) == 10);
static_assert(offsetof(TZEZipFileHeader, ModDate) == 12);
static_assert(offsetof(TZEZipFileHeader, Crc32) == 14);
static_assert(offsetof(TZEZipFileHeader, CompressedSize) == 18);
static_assert(offsetof(TZEZipFileHeader, UncompressedSize) == 22);
static_assert(offsetof(TZEZipFileHeader, NameLength) == 26);
static_assert(offsetof(TZEZipFileHeader, ExtraLength) == 28);
static_assert(sizeof(TZEZipFileHeader) == 30);

struct TZEZipDataDescriptor {  // read only, never written
  uint32_t Signature;
  uint32_t Crc32;
  uint32_t CompressedSize;
  uint32_t UncompressedSize;
};
static_assert(offsetof(TZEZipDataDescriptor, Crc32) == 4);
static_assert(offsetof(TZEZipDataDescriptor, CompressedSize) == 8);
static_assert(offsetof(TZEZipDataDescriptor, UncompressedSize) == 12);
static_assert(sizeof(TZEZipDataDescriptor) == 16);

struct TZEZipCentralDir {  // central directory header
  uint32_t Signature;
  uint16_t VersionMadeBy;
  uint16_t VersionNeeded;
  uint16_t Flags;
  uint16_t Method;
  uint16_t ModTime;
  uint16_t ModDate;
  uint32_t Crc32;
  uint32_t CompressedSize;
  uint32_t UncompressedSize;
  uint16_t NameLength;
  uint16_t ExtraLength;
  uint16_t CommentLength;
  uint16_t DiskNumberStart;
  uint16_t InternalAttributes;
  uint32_t ExternalAttributes;
  uint32_t LocalHeaderOffset;
};
static_assert(offsetof(TZEZipCentralDir, Signature) == 0);
static_assert(offsetof(TZEZipCentralDir, VersionMadeBy) == 4);
static_assert(offsetof(TZEZipCentralDir, VersionNeeded) == 6);
static_assert(offsetof(TZEZipCentralDir, Flags) == 8);
static_assert(offsetof(TZEZipCentralDir, Method) == 10);
static_assert(offsetof(TZEZipCentralDir, ModTime) == 12);
static_assert(offsetof(TZEZipCentralDir, ModDate) == 14);
static_assert(offsetof(TZEZipCentralDir, Crc32) == 16);
static_assert(offsetof(TZEZipCentralDir, CompressedSize) == 20);
static_assert(offsetof(TZEZipCentralDir, UncompressedSize) == 24);
static_assert(offsetof(TZEZipCentralDir, NameLength) == 28);
static_assert(offsetof(TZEZipCentralDir, ExtraLength) == 30);
static_assert(offsetof(TZEZipCentralDir, CommentLength) == 32);
static_assert(offsetof(TZEZipCentralDir, DiskNumberStart) == 34);
static_assert(offsetof(TZEZipCentralDir, InternalAttributes) == 36);
static_assert(offsetof(TZEZipCentralDir, ExternalAttributes) == 38);
static_assert(offsetof(TZEZipCentralDir, LocalHeaderOffset) == 42);
static_assert(sizeof(TZEZipCentralDir) == 46);

struct TZEZip64CentralDirEnd {  // ZIP64 end of central directory record
  uint32_t Signature;
  uint64_t RecordSize;  // size of the rest of the record: 44
  uint16_t VersionMadeBy;
  uint16_t VersionNeeded;
  uint32_t ThisDisk;
  uint32_t DirectoryDisk;
  uint64_t EntriesOnDisk;
  uint64_t TotalEntries;
  uint64_t DirectorySize;
  uint64_t DirectoryOffset;
};
static_assert(offsetof(TZEZip64CentralDirEnd, RecordSize) == 4);
static_assert(offsetof(TZEZip64CentralDirEnd, VersionMadeBy) == 12);
static_assert(offsetof(TZEZip64CentralDirEnd, VersionNeeded) == 14);
static_assert(offsetof(TZEZip64CentralDirEnd, ThisDisk) == 16);
static_assert(offsetof(TZEZip64CentralDirEnd, DirectoryDisk) == 20);
static_assert(offsetof(TZEZip64CentralDirEnd, EntriesOnDisk) == 24);
static_assert(offsetof(TZEZip64CentralDirEnd, TotalEntries) == 32);
static_assert(offsetof(TZEZip64CentralDirEnd, DirectorySize) == 40);
static_assert(offsetof(TZEZip64CentralDirEnd, DirectoryOffset) == 48);
static_assert(sizeof(TZEZip64CentralDirEnd) == 56);

struct TZEZip64CentralDirEndLocator {
  uint32_t Signature;
  uint32_t Disk;  // disk holding the ZIP64 end record
  uint64_t EndRecordOffset;
  uint32_t TotalDisks;
};
static_assert(offsetof(TZEZip64CentralDirEndLocator, Disk) == 4);
static_assert(offsetof(TZEZip64CentralDirEndLocator, EndRecordOffset) == 8);
static_assert(offsetof(TZEZip64CentralDirEndLocator, TotalDisks) == 16);
static_assert(sizeof(TZEZip64CentralDirEndLocator) == 20);

struct TZEZipCentralDirEnd {  // end of central directory record
  uint32_t Signature;
  uint16_t ThisDisk;
  uint16_t DirectoryDisk;
  uint16_t EntriesOnDisk;
  uint16_t TotalEntries;
  uint32_t DirectorySize;
  uint32_t DirectoryOffset;
  uint16_t CommentLength;
};
static_assert(offsetof(TZEZipCentralDirEnd, ThisDisk) == 4);
static_assert(offsetof(TZEZipCentralDirEnd, DirectoryDisk) == 6);
static_assert(offsetof(TZEZipCentralDirEnd, EntriesOnDisk) == 8);
static_assert(offsetof(TZEZipCentralDirEnd, TotalEntries) == 10);
static_assert(offsetof(TZEZipCentralDirEnd, DirectorySize) == 12);
static_assert(offsetof(TZEZipCentralDirEnd, DirectoryOffset) == 16);
static_assert(offsetof(TZEZipCentralDirEnd, CommentLength) == 20);
static_assert(sizeof(TZEZipCentralDirEnd) == 22);

// The local form of the ZIP64 field: always both sizes.
struct TZEZip64LocalExtra {
  uint16_t Id;
  uint16_t Size;  // 16
  uint64_t UncompressedSize;
  uint64_t CompressedSize;
};
static_assert(offsetof(TZEZip64LocalExtra, Size) == 2);
static_assert(offsetof(TZEZip64LocalExtra, UncompressedSize) == 4);
static_assert(offsetof(TZEZip64LocalExtra, CompressedSize) == 12);
static_assert(sizeof(TZEZip64LocalExtra) == 20);

struct TZEExtraHeader {
  uint16_t Id;
  uint16_t Size;
};
static_assert(sizeof(TZEExtraHeader) == 4);

#pragma pack(pop)

// One extra block held by a directory item: identifier and its own bytes.
struct TZEExtraBlock {
  uint16_t Id = 0;
  std::vector<uint8_t> Data;
};

// The "NU" Unicode-name block for a stored name (identifier and size included
// when written: 12 + 2n bytes in all).
TZEExtraBlock MakeUnicodeNameBlock(const WideString& storedName);
// Reads a "NU" block's data; true and the name when it begins with "NUCX". A
// count larger than the data holds takes the code units that are there.
bool ParseUnicodeNameBlock(const std::vector<uint8_t>& data, WideString& name);

// Stored names on disk: UTF-16 -> ANSI code page -> OEM code page (when oem).
AnsiString StoredNameToDisk(const WideString& name, bool oem);
// Back: OEM -> ANSI (when oem) -> UTF-16, ending at the first zero byte.
WideString DiskNameToStored(const char* bytes, size_t count, bool oem);
// General-purpose flag bit 11: the item's name (and comment) are UTF-8.
constexpr uint16_t ZE_FLAG_UTF8 = 0x0800;
// The same for an item's general-purpose flags: a name flagged UTF-8 is
// written and read as UTF-8, any other in the OEM or ANSI code page.
AnsiString StoredNameToDisk(const WideString& name, bool oem, uint16_t flags);
WideString DiskNameToStored(const char* bytes, size_t count, bool oem, uint16_t flags);

// Little-endian access to byte buffers for the variable parts.
inline uint16_t GetLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t GetLE32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t GetLE64(const uint8_t* p) {
  return static_cast<uint64_t>(GetLE32(p)) | (static_cast<uint64_t>(GetLE32(p + 4)) << 32);
}
inline void PutLE16(std::vector<uint8_t>& v, uint16_t x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}
inline void PutLE32(std::vector<uint8_t>& v, uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}
inline void PutLE64(std::vector<uint8_t>& v, uint64_t x) {
  for (int i = 0; i < 8; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}
