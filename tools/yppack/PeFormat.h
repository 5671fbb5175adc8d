// Where the PE/COFF header fields sit, and the one reader of them, for the bundler, its read-back, tests and fuzzer.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

#include "tools/yppack/Container.h"

// The fields used, all little-endian:
//   DOS header      offset 0 "MZ"; offset 0x3C e_lfanew, the PE header's offset
//   PE header       "PE\0\0", then the 20-byte file header: +2 NumberOfSections,
//                   +16 SizeOfOptionalHeader, +18 Characteristics; the
//                   optional header follows it
//   optional header +0 Magic (0x10B PE32, 0x20B PE32+), +8 SizeOfInitializedData,
//                   +32 SectionAlignment, +36 FileAlignment, +56 SizeOfImage,
//                   +60 SizeOfHeaders, +64 CheckSum, +70 DllCharacteristics;
//                   NumberOfRvaAndSizes and the data directories (RVA, size)
//                   at +92/+96 (PE32) or +108/+112 (PE32+). Directory 2 is the
//                   resource tree, 4 the Authenticode signature (a file
//                   offset, not an RVA), 5 the base relocations.
//   section header  40 bytes each, after the optional header: +0 Name,
//                   +8 VirtualSize, +12 VirtualAddress, +16 SizeOfRawData,
//                   +20 PointerToRawData, +36 Characteristics (0x40:
//                   initialised data)
namespace yppack::pe {

constexpr uint16_t kMz = 0x5A4D;
constexpr size_t kDosHeaderSize = 64;
constexpr size_t kLfanew = 0x3C;
constexpr uint32_t kPeSignature = 0x00004550;

// From the PE signature.
constexpr size_t kNumberOfSections = 4 + 2;
constexpr size_t kSizeOfOptionalHeader = 4 + 16;
constexpr size_t kFileCharacteristics = 4 + 18;
constexpr size_t kOptionalHeader = 4 + 20;

// From the optional header.
constexpr size_t kOptionalMagic = 0;
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr size_t kSizeOfInitializedData = 8;
constexpr size_t kSectionAlignment = 32;
constexpr size_t kFileAlignment = 36;
constexpr size_t kSizeOfImage = 56;
constexpr size_t kSizeOfHeaders = 60;
constexpr size_t kCheckSum = 64;
constexpr size_t kDllCharacteristics = 70;
constexpr size_t NumberOfRvaAndSizes(bool pe32Plus) { return pe32Plus ? 108 : 92; }
constexpr size_t kDirectoryEntrySize = 8;
constexpr uint32_t kMaxDirectories = 16;

constexpr uint32_t kResourceDirectory = 2;
constexpr uint32_t kSecurityDirectory = 4;
constexpr uint32_t kRelocationDirectory = 5;

// From a section header.
constexpr size_t kSectionHeaderSize = 40;
constexpr size_t kVirtualSize = 8;
constexpr size_t kVirtualAddress = 12;
constexpr size_t kSizeOfRawData = 16;
constexpr size_t kPointerToRawData = 20;
constexpr size_t kSectionCharacteristics = 36;
constexpr uint32_t kInitialisedData = 0x40;

// Resource types.
constexpr uint32_t kRtIcon = 3;
constexpr uint32_t kRtRcdata = 10;
constexpr uint32_t kRtGroupIcon = 14;
// In a resource directory entry: the name is a string, the target a
// subdirectory.
constexpr uint32_t kHighBit = 0x80000000u;

// The memory page: below it, the loader maps the file as it lies, so
// sections must be aligned alike in both.
constexpr uint32_t kPageSize = 4096;
constexpr uint32_t kMinFileAlignment = 512;
constexpr uint32_t kMaxFileAlignment = 65536;

inline uint64_t AlignUp(uint64_t v, uint64_t alignment) { return (v + alignment - 1) / alignment * alignment; }

// Callers check the bounds first.
inline uint16_t Get16(const std::vector<uint8_t>& b, size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}
inline uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
inline void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
inline void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    Put16(b, at, v);
    Put16(b, at + 2, v >> 16);
}

}  // namespace yppack::pe

namespace yppack {

struct PeSection {
    size_t headerOffset;
    uint32_t virtualSize;
    uint32_t virtualAddress;
    uint32_t rawSize;
    uint32_t rawOffset;
    uint32_t characteristics;
};

// A section's length in memory: its VirtualSize, or its raw size where that is 0.
inline uint32_t MappedSize(const PeSection& s) { return s.virtualSize ? s.virtualSize : s.rawSize; }

struct PeDirectory {
    uint32_t rva = 0;
    uint32_t size = 0;
};

// The header fields this tool reads or sets.
struct PeLayout {
    bool pe32Plus = false;
    size_t optionalHeader = 0;  // file offset of the optional header
    uint32_t directoryCount = 0;
    size_t directories = 0;  // file offset of the data directories
    size_t headersEnd = 0;   // file offset of the end of the section table
    uint32_t fileAlignment = 0;
    uint32_t sectionAlignment = 0;
    uint32_t sizeOfHeaders = 0;
    uint32_t sizeOfImage = 0;
    std::vector<PeSection> sections;
    std::vector<PeDirectory> dataDirectories;

    PeDirectory Directory(uint32_t index) const;
};

// Throws Failure naming what is wrong when file is not a PE or its headers
// are cut short.
PeLayout ReadPeLayout(const Bytes& file);

// Throws Failure naming the first layout rule the file breaks: headers that
// run past SizeOfHeaders or into the sections, a FileAlignment outside
// 512..64 KiB or a SectionAlignment below it (or, below the page size, apart
// from it), sections unaligned, out of order, overlapping or with gaps
// between them, raw data past the file's end, a SizeOfImage other than the
// end of the last section, a resource directory outside the sections.
void CheckImageLayout(const Bytes& file, const PeLayout& layout);

}  // namespace yppack
